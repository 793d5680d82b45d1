// A slim reader-writer lock usable with std::shared_lock and std::unique_lock.
// Readers of the hot lookup tables take it shared; it never allocates and
// costs one interlocked operation when uncontended.
#pragma once

#include <windows.h>

namespace modroute {

class SrwLock {
public:
    SrwLock() = default;
    SrwLock(const SrwLock&) = delete;
    SrwLock& operator=(const SrwLock&) = delete;

    void lock() { AcquireSRWLockExclusive(&m_lock); }
    void unlock() { ReleaseSRWLockExclusive(&m_lock); }
    bool try_lock() { return TryAcquireSRWLockExclusive(&m_lock) != FALSE; }
    void lock_shared() { AcquireSRWLockShared(&m_lock); }
    void unlock_shared() { ReleaseSRWLockShared(&m_lock); }
    bool try_lock_shared() { return TryAcquireSRWLockShared(&m_lock) != FALSE; }

private:
    SRWLOCK m_lock = SRWLOCK_INIT;
};

}  // namespace modroute
