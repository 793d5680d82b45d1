#include "detours/EnlistedThreads.h"

namespace modroute::detours {

DWORD EnlistedThreads::Enlist(HANDLE thread) {
    const DWORD id = thread == nullptr ? 0 : GetThreadId(thread);
    if (id == 0) return ERROR_INVALID_HANDLE;
    if (id == GetCurrentThreadId()) return NO_ERROR;
    for (const Entry& t : m_threads) {
        if (t.id == id) return NO_ERROR;
    }
    try {
        m_threads.push_back(Entry{thread, id, false, {}});
    } catch (...) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    return NO_ERROR;
}

DWORD EnlistedThreads::SuspendAll() {
    for (Entry& t : m_threads) {
        if (SuspendThread(t.handle) == static_cast<DWORD>(-1)) {
            const DWORD error = GetLastError();
            if (WaitForSingleObject(t.handle, 0) == WAIT_OBJECT_0) continue;  // it has exited
            ResumeAll();
            return error;
        }
        t.suspended = true;
        // Suspension is asynchronous; reading the context waits until the
        // thread has really stopped.
        t.context.ContextFlags = CONTEXT_CONTROL;
        if (!GetThreadContext(t.handle, &t.context)) {
            const DWORD error = GetLastError();
            ResumeAll();
            return error;
        }
    }
    return NO_ERROR;
}

void EnlistedThreads::SetInstructionPointer(Entry& t, std::uint32_t eip) {
    t.context.Eip = eip;
    t.context.ContextFlags = CONTEXT_CONTROL;
    SetThreadContext(t.handle, &t.context);
}

void EnlistedThreads::ResumeAll() {
    for (Entry& t : m_threads) {
        if (t.suspended) ResumeThread(t.handle);
        t.suspended = false;
    }
}

}  // namespace modroute::detours
