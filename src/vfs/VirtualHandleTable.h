// A table from handle values to the objects behind virtual file handles or
// virtual find handles. Every value is a real event handle of this process,
// taken from a reserved pool and protected from CloseHandle, so while a
// virtual handle lives no handle the system hands out can equal it, and one
// closed twice is rejected by the system rather than closing something real.
// Opening and closing take values from the pool without a system call in the
// common case. Objects are shared: a handle closed on one thread stays usable
// by a thread that looked it up just before.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <new>
#include <shared_mutex>
#include <unordered_map>
#include <vector>

#include "common/SrwLock.h"

namespace modroute {

// Real handle values reserved to stand for virtual handles.
class ReservedHandlePool {
public:
    // The process-wide pool; never destroyed.
    static ReservedHandlePool& Instance();

    // A reserved value, or null when none can be made.
    HANDLE Acquire();
    void Release(HANDLE value);

private:
    HANDLE TakeFree();
    // Makes a batch of values: one for the caller, the rest for the pool.
    HANDLE Refill();

    mutable SrwLock m_lock;
    SrwLock m_refillLock;  // held by the one thread making a batch
    std::vector<HANDLE> m_free;
};

template <typename Object>
class VirtualHandleTable {
public:
    // Enters the object under a new handle value; INVALID_HANDLE_VALUE when no
    // value can be reserved.
    HANDLE Open(std::shared_ptr<Object> object) {
        HANDLE value = ReservedHandlePool::Instance().Acquire();
        if (value == nullptr) return INVALID_HANDLE_VALUE;
        try {
            std::unique_lock lock(m_lock);
            m_objects.insert_or_assign(value, std::move(object));
            m_openCount.store(m_objects.size(), std::memory_order_release);
        } catch (const std::bad_alloc&) {
            ReservedHandlePool::Instance().Release(value);
            return INVALID_HANDLE_VALUE;
        }
        return value;
    }

    // The object behind a virtual handle, or null for any other handle.
    std::shared_ptr<Object> Find(HANDLE handle) const {
        // The common case, a real handle while no virtual one is open, takes no lock.
        if (m_openCount.load(std::memory_order_acquire) == 0) return nullptr;
        std::shared_lock lock(m_lock);
        const auto found = m_objects.find(handle);
        return found == m_objects.end() ? nullptr : found->second;
    }

    // Removes a virtual handle; false when the handle is not one of this table.
    bool Close(HANDLE handle) {
        if (m_openCount.load(std::memory_order_acquire) == 0) return false;
        std::shared_ptr<Object> closed;  // goes when its last user lets go of it
        {
            std::unique_lock lock(m_lock);
            const auto found = m_objects.find(handle);
            if (found == m_objects.end()) return false;
            closed = std::move(found->second);
            m_objects.erase(found);
            m_openCount.store(m_objects.size(), std::memory_order_release);
        }
        ReservedHandlePool::Instance().Release(handle);
        return true;
    }

    // Removes every handle (hook removal).
    void Clear() {
        std::unordered_map<HANDLE, std::shared_ptr<Object>> cleared;
        {
            std::unique_lock lock(m_lock);
            cleared.swap(m_objects);
            m_openCount.store(0, std::memory_order_release);
        }
        for (const auto& entry : cleared) ReservedHandlePool::Instance().Release(entry.first);
    }

    std::size_t OpenCount() const { return m_openCount.load(std::memory_order_acquire); }

private:
    mutable SrwLock m_lock;
    std::unordered_map<HANDLE, std::shared_ptr<Object>> m_objects;
    std::atomic<std::size_t> m_openCount{0};
};

}  // namespace modroute
