#include "detours/EnlistedThreads.h"

#include <tlhelp32.h>

namespace modroute::detours {
namespace {

// What suspending, moving and checking a thread of our own needs.
constexpr DWORD kThreadRights = THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT | THREAD_SET_CONTEXT |
                                THREAD_QUERY_LIMITED_INFORMATION | SYNCHRONIZE;

// A thread that refuses suspension because it is ending is signalled a
// moment later; a live one (a handle without the right) is not.
bool HasExited(HANDLE thread) { return WaitForSingleObject(thread, 50) == WAIT_OBJECT_0; }

}  // namespace

bool EnlistedThreads::Knows(DWORD id) const {
    if (id == GetCurrentThreadId()) return true;
    for (const Entry& t : m_threads) {
        if (t.id == id) return true;
    }
    return false;
}

DWORD EnlistedThreads::Enlist(HANDLE thread) {
    const DWORD id = thread == nullptr ? 0 : GetThreadId(thread);
    if (id == 0) return ERROR_INVALID_HANDLE;
    if (Knows(id)) return NO_ERROR;
    try {
        m_threads.push_back(Entry{thread, id, false, false, {}});
    } catch (...) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    return NO_ERROR;
}

DWORD EnlistedThreads::EnlistAllOthers() {
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return GetLastError();
    const DWORD process = GetCurrentProcessId();
    DWORD error = NO_ERROR;
    THREADENTRY32 found{};
    found.dwSize = sizeof(found);
    for (BOOL more = Thread32First(snapshot, &found); more && error == NO_ERROR;
         more = Thread32Next(snapshot, &found)) {
        if (found.th32OwnerProcessID != process || Knows(found.th32ThreadID)) continue;
        const HANDLE thread = OpenThread(kThreadRights, FALSE, found.th32ThreadID);
        if (thread == nullptr) continue;  // ended since the snapshot
        // Its id may have passed to a thread of another process meanwhile.
        if (GetProcessIdOfThread(thread) != process) {
            CloseHandle(thread);
            continue;
        }
        try {
            m_threads.push_back(Entry{thread, found.th32ThreadID, true, false, {}});
        } catch (...) {
            CloseHandle(thread);
            error = ERROR_NOT_ENOUGH_MEMORY;
        }
    }
    CloseHandle(snapshot);
    return error;
}

DWORD EnlistedThreads::SuspendAll() {
    // Every thread is asked to stop before any is waited for, so they come to
    // a halt together rather than one scheduling slice after another.
    for (Entry& t : m_threads) {
        if (SuspendThread(t.handle) != static_cast<DWORD>(-1)) {
            t.suspended = true;
            continue;
        }
        const DWORD error = GetLastError();
        if (HasExited(t.handle)) continue;
        ResumeAll();
        return error;
    }
    // Reading the context waits until the thread has really stopped.
    for (Entry& t : m_threads) {
        if (!t.suspended) continue;
        t.context.ContextFlags = CONTEXT_CONTROL;
        if (GetThreadContext(t.handle, &t.context)) continue;
        const DWORD error = GetLastError();
        if (error == ERROR_ACCESS_DENIED || error == ERROR_GEN_FAILURE) {
            // Stopped on its way out: it runs none of the code that changes.
            ResumeThread(t.handle);
            t.suspended = false;
            continue;
        }
        ResumeAll();
        return error;
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

void EnlistedThreads::Clear() {
    for (const Entry& t : m_threads) {
        if (t.ownsHandle) CloseHandle(t.handle);
    }
    m_threads.clear();
}

}  // namespace modroute::detours
