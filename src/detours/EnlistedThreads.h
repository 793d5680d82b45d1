// The threads a transaction was told about: suspended while code changes,
// their instruction pointers moved out of rewritten bytes, then resumed.
// Suspending happens only at commit, after every allocation, so a thread
// stopped inside the heap cannot deadlock the commit.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

namespace modroute::detours {

class EnlistedThreads {
public:
    EnlistedThreads() = default;
    EnlistedThreads(const EnlistedThreads&) = delete;
    EnlistedThreads& operator=(const EnlistedThreads&) = delete;
    ~EnlistedThreads() { Clear(); }

    // A thread handle of the caller's, which stays the caller's to close.
    // NO_ERROR (the calling thread and repeats are skipped), ERROR_INVALID_HANDLE,
    // or ERROR_NOT_ENOUGH_MEMORY.
    DWORD Enlist(HANDLE thread);

    // Every thread of the process but the calling one, from a snapshot; the
    // handles opened for them are closed by Clear(). A thread that ends before
    // it can be opened is left out. NO_ERROR or the Win32 error.
    DWORD EnlistAllOthers();

    // Suspends every thread and captures its context. On failure the ones
    // already stopped are resumed and the error returned. Threads that exit
    // meanwhile are left out.
    DWORD SuspendAll();

    // move(eip) gives the new instruction pointer for each suspended thread.
    template <typename Move>
    void MoveInstructionPointers(Move&& move) {
        for (Entry& t : m_threads) {
            if (!t.suspended) continue;
            const std::uint32_t to = move(static_cast<std::uint32_t>(t.context.Eip));
            if (to != t.context.Eip) SetInstructionPointer(t, to);
        }
    }

    void ResumeAll();

    // Forgets every thread, closing the handles this list opened.
    void Clear();

private:
    struct Entry {
        HANDLE handle;
        DWORD id;
        bool ownsHandle;
        bool suspended;
        CONTEXT context;
    };
    // Whether the thread is already in the list (or is the caller itself).
    bool Knows(DWORD id) const;
    static void SetInstructionPointer(Entry& t, std::uint32_t eip);

    std::vector<Entry> m_threads;
};

}  // namespace modroute::detours
