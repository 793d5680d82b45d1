// The table of virtual file handles: handle value -> the VirtualFile behind
// it. Every value is a real event handle of this process, taken from a
// reserved pool and protected from CloseHandle, so while a virtual handle
// lives no handle the system hands out can equal it, and a virtual handle
// closed twice is rejected by the system rather than closing something real.
// Opening and closing take values from the pool without a system call in the
// common case. Objects are shared: a handle closed on one thread stays
// readable by a thread that looked it up just before.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <unordered_map>
#include <vector>

#include "common/SrwLock.h"
#include "vfs/VirtualFile.h"

namespace modroute {

// Real handle values reserved to stand for virtual file and find handles.
class ReservedHandlePool {
public:
    // The process-wide pool; never destroyed.
    static ReservedHandlePool& Instance();

    // A reserved value, or null when none can be made.
    HANDLE Acquire();
    void Release(HANDLE value);

private:
    bool Refill();

    mutable SrwLock m_lock;
    std::vector<HANDLE> m_free;
};

class VirtualHandleManager {
public:
    // The process-wide table; never destroyed, since hooks may still run
    // while the process's statics are torn down.
    static VirtualHandleManager& Instance();

    // Enters the file under a new handle value; INVALID_HANDLE_VALUE when no
    // value can be reserved.
    HANDLE Open(std::shared_ptr<VirtualFile> file);
    // The file behind a virtual handle, or null for any other handle.
    std::shared_ptr<VirtualFile> Find(HANDLE handle) const;
    // Removes a virtual handle; false when the handle is not one.
    bool Close(HANDLE handle);
    // Removes every virtual handle (hook removal).
    void Clear();
    std::size_t OpenCount() const { return m_openCount.load(std::memory_order_acquire); }

private:
    mutable SrwLock m_lock;
    std::unordered_map<HANDLE, std::shared_ptr<VirtualFile>> m_files;
    std::atomic<std::size_t> m_openCount{0};
};

}  // namespace modroute
