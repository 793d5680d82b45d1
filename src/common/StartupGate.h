// Where a game call meets the start-up work that is still running. The
// attach sequence marks each piece of background work as expected before it
// starts the thread that does it; that thread marks it finished once its
// result is published. A hooked call whose answer depends on an unfinished
// piece waits for it, bounded, so that the game never gets an answer the
// finished start-up would change. A call that must not wait gets the answer
// there is, which the caller then must not keep:
//   - on a thread that holds the loader lock (a library's DllMain, our own
//     attach included): the work may itself need that lock;
//   - on one of the start-up threads: it would wait for itself;
//   - after a wait has timed out once: the work is stuck, and the game must
//     not stall at every call for it.
// Once everything has finished, a call costs one atomic load.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

namespace modroute {

enum class StartupWork : unsigned {
    None = 0,
    Packs = 1,     // the packs preloaded and indexed
    MapTable = 2,  // AutoRes done: the map index written, its table in the redirector
    Faces = 4,     // the replacement font faces checked
};
constexpr StartupWork operator|(StartupWork a, StartupWork b) {
    return static_cast<StartupWork>(static_cast<unsigned>(a) | static_cast<unsigned>(b));
}

class StartupGate {
public:
    static StartupGate& Instance();

    // Before the thread that does the work is started.
    void Expect(StartupWork work);
    // Once the work's result is where callers look for it; also when it failed.
    void Finish(StartupWork work);

    // True when the work needed has finished, after waiting for it if need be
    // (at most timeoutMs); false when the caller gets an answer the finished
    // start-up may change and must not keep it.
    bool Await(StartupWork needed, DWORD timeoutMs = kTimeoutMs) {
        if ((m_pending.load(std::memory_order_acquire) & static_cast<unsigned>(needed)) == 0) return true;
        return AwaitSlow(needed, timeoutMs);
    }
    // Cheap test for callers that would work out what they need first.
    bool AllFinished() const { return m_pending.load(std::memory_order_acquire) == 0; }

    // The calling thread does start-up work until Leave: it never waits.
    void EnterStartupThread();
    void LeaveStartupThread();

    // On a real unload, after every start-up thread has ended.
    void CloseEvents();

    static constexpr DWORD kTimeoutMs = 10000;

private:
    bool AwaitSlow(StartupWork needed, DWORD timeoutMs);
    bool IsStartupThread() const;

    std::atomic<unsigned> m_pending{0};
    std::atomic<bool> m_gaveUp{false};
    std::atomic<bool> m_firstWaitMeasured{false};
    HANDLE m_finished[3] = {};  // manual-reset events, by bit of StartupWork
    static constexpr int kThreadSlots = 8;
    std::atomic<DWORD> m_startupThreads[kThreadSlots] = {};
};

// Whether the calling thread holds the process's loader lock (a DllMain of
// any library runs with it held).
bool ThreadHoldsLoaderLock();

// The first game call that waited for the start-up, and how long; printed as
// a debugger line. The one place where that time is known.
void ReportFirstStartupWait(std::uint32_t milliseconds, bool finished);

}  // namespace modroute
