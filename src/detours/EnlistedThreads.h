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
    // NO_ERROR (the calling thread and repeats are skipped), ERROR_INVALID_HANDLE,
    // or ERROR_NOT_ENOUGH_MEMORY.
    DWORD Enlist(HANDLE thread);

    // Suspends every thread and captures its context. On failure the ones
    // already stopped are resumed and the error returned. Threads that have
    // exited meanwhile are skipped.
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
    void Clear() { m_threads.clear(); }

private:
    struct Entry {
        HANDLE handle;
        DWORD id;
        bool suspended;
        CONTEXT context;
    };
    static void SetInstructionPointer(Entry& t, std::uint32_t eip);

    std::vector<Entry> m_threads;
};

}  // namespace modroute::detours
