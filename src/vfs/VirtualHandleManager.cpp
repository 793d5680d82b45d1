#include "vfs/VirtualHandleManager.h"

#include <mutex>
#include <new>
#include <shared_mutex>

namespace modroute {
namespace {

// Values are made in batches: one system call each, but only once in a while.
constexpr int kBatch = 32;

HANDLE MakeReservedValue() {
    HANDLE value = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (value == nullptr) return nullptr;
    if (!SetHandleInformation(value, HANDLE_FLAG_PROTECT_FROM_CLOSE, HANDLE_FLAG_PROTECT_FROM_CLOSE)) {
        CloseHandle(value);
        return nullptr;
    }
    return value;
}

}  // namespace

bool ReservedHandlePool::Refill() {
    // Made outside the lock: other threads keep opening and closing meanwhile.
    HANDLE made[kBatch];
    int count = 0;
    const DWORD lastError = GetLastError();
    while (count < kBatch) {
        HANDLE value = MakeReservedValue();
        if (value == nullptr) break;
        made[count++] = value;
    }
    SetLastError(lastError);
    if (count == 0) return false;
    std::unique_lock lock(m_lock);
    try {
        m_free.insert(m_free.end(), made, made + count);
    } catch (const std::bad_alloc&) {
        return !m_free.empty();  // the values stay reserved, unused
    }
    return true;
}

ReservedHandlePool& ReservedHandlePool::Instance() {
    static ReservedHandlePool* instance = new ReservedHandlePool;
    return *instance;
}

HANDLE ReservedHandlePool::Acquire() {
    for (int attempt = 0; attempt < 2; ++attempt) {
        {
            std::unique_lock lock(m_lock);
            if (!m_free.empty()) {
                HANDLE value = m_free.back();
                m_free.pop_back();
                return value;
            }
        }
        if (!Refill()) return nullptr;
    }
    return nullptr;
}

void ReservedHandlePool::Release(HANDLE value) {
    std::unique_lock lock(m_lock);
    try {
        m_free.push_back(value);
    } catch (const std::bad_alloc&) {
        // The value stays reserved but unused; nothing real can take it.
    }
}

VirtualHandleManager& VirtualHandleManager::Instance() {
    static VirtualHandleManager* instance = new VirtualHandleManager;
    return *instance;
}

HANDLE VirtualHandleManager::Open(std::shared_ptr<VirtualFile> file) {
    HANDLE value = ReservedHandlePool::Instance().Acquire();
    if (value == nullptr) return INVALID_HANDLE_VALUE;
    try {
        std::unique_lock lock(m_lock);
        m_files.insert_or_assign(value, std::move(file));
        m_openCount.store(m_files.size(), std::memory_order_release);
    } catch (const std::bad_alloc&) {
        ReservedHandlePool::Instance().Release(value);
        return INVALID_HANDLE_VALUE;
    }
    return value;
}

std::shared_ptr<VirtualFile> VirtualHandleManager::Find(HANDLE handle) const {
    // The common case, a real handle while no virtual one is open, takes no lock.
    if (m_openCount.load(std::memory_order_acquire) == 0) return nullptr;
    std::shared_lock lock(m_lock);
    const auto found = m_files.find(handle);
    return found == m_files.end() ? nullptr : found->second;
}

bool VirtualHandleManager::Close(HANDLE handle) {
    if (m_openCount.load(std::memory_order_acquire) == 0) return false;
    std::shared_ptr<VirtualFile> closed;
    {
        std::unique_lock lock(m_lock);
        const auto found = m_files.find(handle);
        if (found == m_files.end()) return false;
        closed = std::move(found->second);
        m_files.erase(found);
        m_openCount.store(m_files.size(), std::memory_order_release);
    }
    ReservedHandlePool::Instance().Release(handle);
    return true;  // the object goes when its last reader lets go of it
}

void VirtualHandleManager::Clear() {
    std::unordered_map<HANDLE, std::shared_ptr<VirtualFile>> cleared;
    {
        std::unique_lock lock(m_lock);
        cleared.swap(m_files);
        m_openCount.store(0, std::memory_order_release);
    }
    for (const auto& [value, file] : cleared) ReservedHandlePool::Instance().Release(value);
}

}  // namespace modroute
