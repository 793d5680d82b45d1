#include "vfs/VirtualHandleTable.h"

#include <mutex>
#include <new>
#include <shared_mutex>

namespace modroute {
namespace {

// Values are made in batches: one system call each, but only once in a while.
constexpr int kBatch = 32;

HANDLE MakeReservedValue() {
    // Signalled, as a file handle is to a wait.
    HANDLE value = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    if (value == nullptr) return nullptr;
    if (!SetHandleInformation(value, HANDLE_FLAG_PROTECT_FROM_CLOSE, HANDLE_FLAG_PROTECT_FROM_CLOSE)) {
        CloseHandle(value);
        return nullptr;
    }
    return value;
}

}  // namespace

HANDLE ReservedHandlePool::Refill() {
    // Made outside the pool's lock: other threads keep closing meanwhile.
    HANDLE made[kBatch];
    int count = 0;
    const DWORD lastError = GetLastError();
    while (count < kBatch) {
        HANDLE value = MakeReservedValue();
        if (value == nullptr) break;
        made[count++] = value;
    }
    SetLastError(lastError);
    if (count == 0) return nullptr;
    std::unique_lock lock(m_lock);
    try {
        m_free.insert(m_free.end(), made + 1, made + count);
    } catch (const std::bad_alloc&) {
        // The values stay reserved, unused.
    }
    return made[0];
}

HANDLE ReservedHandlePool::TakeFree() {
    std::unique_lock lock(m_lock);
    if (m_free.empty()) return nullptr;
    HANDLE value = m_free.back();
    m_free.pop_back();
    return value;
}

ReservedHandlePool& ReservedHandlePool::Instance() {
    static ReservedHandlePool* instance = new ReservedHandlePool;
    return *instance;
}

HANDLE ReservedHandlePool::Acquire() {
    if (HANDLE value = TakeFree()) return value;
    // One thread refills at a time; the others wait for its batch instead of
    // each making one, which would multiply the values held for good.
    std::lock_guard refilling(m_refillLock);
    if (HANDLE value = TakeFree()) return value;
    return Refill();
}

void ReservedHandlePool::Release(HANDLE value) {
    std::unique_lock lock(m_lock);
    try {
        m_free.push_back(value);
    } catch (const std::bad_alloc&) {
        // The value stays reserved but unused; nothing real can take it.
    }
}

}  // namespace modroute
