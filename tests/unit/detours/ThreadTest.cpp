#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "detours/DetourAllThreads.h"
#include "detours/detours.h"
#include "unit/detours/SyntheticCode.h"

using namespace detourtest;

namespace {

// fastcall: spins while *flag is 0, then returns 42, the loop inside the
// bytes a hook rewrites or moves.
using Spin = int(__fastcall*)(volatile LONG*);
const Bytes kSpinRelocated = Hex("8B 01 85 C0 74 FA B8 2A 00 00 00 C3");
const Bytes kSpinHotPatch = Hex("8B FF 8B 01 85 C0 74 FA B8 2A 00 00 00 C3");
PVOID g_spinReal = nullptr;
int __fastcall SpinDetour(volatile LONG* flag) { return reinterpret_cast<Spin>(g_spinReal)(flag) * 10 + 1; }

std::uint32_t Address(const void* p) { return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(p)); }

// A thread held suspended as if it had reached `at` inside a call of a Spin
// function. Released, it ends with what the call returned.
class ParkedThread {
public:
    ParkedThread(SyntheticCode& code, std::uint32_t at) {
        static const auto exitThread = &ExitThread;
        Bytes idle = Hex("EB FE 50 FF 15 00 00 00 00");  // jmp $; then: push eax; call [exitThread]
        SyntheticCode::Put(idle, 5, nullptr, &exitThread);
        const std::uint32_t start = Address(code.Place(idle));
        handle = CreateThread(nullptr, 0, reinterpret_cast<LPTHREAD_START_ROUTINE>(start), nullptr, 0, nullptr);
        CONTEXT context{};
        for (int i = 0; i < 5000 && context.Eip != start; ++i) {
            if (i > 0) ResumeThread(handle), Sleep(1);
            SuspendThread(handle);
            context.ContextFlags = CONTEXT_CONTROL | CONTEXT_INTEGER;
            GetThreadContext(handle, &context);
        }
        context.Eip = at;
        context.Ecx = reinterpret_cast<std::uintptr_t>(&m_flag);
        context.Eax = 0;
        context.Esp -= 4;
        *reinterpret_cast<std::uint32_t*>(context.Esp) = start + 2;  // returns into ExitThread
        SetThreadContext(handle, &context);
    }
    std::uint32_t Eip() const {
        CONTEXT context{};
        context.ContextFlags = CONTEXT_CONTROL;
        GetThreadContext(handle, &context);
        return context.Eip;
    }
    DWORD Release() {  // 0 when the thread does not end
        InterlockedExchange(&m_flag, 1);
        ResumeThread(handle);
        DWORD exitCode = 0;
        if (WaitForSingleObject(handle, 5000) != WAIT_OBJECT_0) TerminateThread(handle, 0);
        GetExitCodeThread(handle, &exitCode);
        CloseHandle(handle);
        return exitCode;
    }

    HANDLE handle = nullptr;

private:
    volatile LONG m_flag = 0;
};

// This process's entries in the system's handle table.
std::size_t OpenHandleCount() {
    struct Entry {
        PVOID object;
        ULONG_PTR process, value;
        ULONG access, attributes[3];
    };
    using Query = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
    static const auto query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    static std::vector<ULONG_PTR> table(1 << 20);  // count, reserved, entries
    ULONG length = 0;
    if (query(64 /* SystemExtendedHandleInformation */, table.data(), table.size() * sizeof(ULONG_PTR), &length) != 0) {
        return 0;
    }
    const auto* entries = reinterpret_cast<const Entry*>(table.data() + 2);
    std::size_t mine = 0;
    for (ULONG_PTR i = 0; i < table[0]; ++i) mine += entries[i].process == GetCurrentProcessId();
    return mine;
}

DWORD WINAPI WaitForEvent(void* event) { return WaitForSingleObject(event, INFINITE); }

// Batches of threads that all end at once, again and again.
volatile LONG g_stopEnding = 0;
DWORD WINAPI EndThreadsInBatches(void*) {
    while (g_stopEnding == 0) {
        const HANDLE go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        HANDLE batch[20];
        for (HANDLE& t : batch) t = CreateThread(nullptr, 0, &WaitForEvent, go, 0, nullptr);
        Sleep(5);
        SetEvent(go);
        WaitForMultipleObjects(20, batch, TRUE, INFINITE);
        for (HANDLE t : batch) CloseHandle(t);
        CloseHandle(go);
    }
    return 0;
}

}  // namespace

// A thread stopped in bytes a commit rewrites goes on where the same
// instruction now is, enlisted by handle or with every other thread; one
// left in an int3 filler would hit a breakpoint.
TEST(DetourThreads, EnlistedThreadsAreMovedOutOfRewrittenBytes) {
    struct Case {
        const char* name;
        const Bytes& body;
        Bytes filler;
        bool detach;
        bool parkedInTrampoline;  // else in the function
        int parkedAt;
        bool movedToTrampoline;
        int movedTo;
    } cases[] = {
        {"attach, thread in the copied bytes", kSpinRelocated, {}, false, false, 2, true, 2},
        {"detach, thread in the trampoline", kSpinRelocated, {}, true, true, 2, false, 2},
        {"detach, thread in an int3 filler", kSpinHotPatch, Hex("CC CC CC CC CC"), true, false, -5, false, 0},
    };
    for (const bool byHandle : {true, false}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (byHandle ? ", enlisted by handle" : ", every thread enlisted"));
            SyntheticCode code;
            const PVOID function = code.Place(c.body, c.filler);
            g_spinReal = function;
            if (c.detach) {
                ASSERT_EQ(Change(true, g_spinReal, reinterpret_cast<PVOID>(&SpinDetour)), NO_ERROR);
            }
            // Three threads: each one must be found and moved.
            const std::uint32_t at = Address(c.parkedInTrampoline ? g_spinReal : function) + c.parkedAt;
            ParkedThread parked[] = {{code, at}, {code, at}, {code, at}};
            ASSERT_EQ(DetourTransactionBegin(), NO_ERROR);
            for (const ParkedThread& p : parked) {
                EXPECT_EQ(byHandle ? DetourUpdateThread(p.handle) : DetourUpdateAllOtherThreads(), NO_ERROR);
            }
            const PVOID detour = reinterpret_cast<PVOID>(&SpinDetour);
            EXPECT_EQ(c.detach ? DetourDetach(&g_spinReal, detour) : DetourAttach(&g_spinReal, detour), NO_ERROR);
            ASSERT_EQ(DetourTransactionCommit(), NO_ERROR);
            for (ParkedThread& p : parked) {
                EXPECT_EQ(p.Eip(), Address(c.movedToTrampoline ? g_spinReal : function) + c.movedTo);
                EXPECT_EQ(p.Release(), 42u);  // the original's result: no detour entered halfway
            }
            if (!c.detach) {
                EXPECT_EQ(Change(false, g_spinReal, reinterpret_cast<PVOID>(&SpinDetour)), NO_ERROR);
            }
        }
    }
}

// The handles opened for every other thread are closed however the
// transaction ends; a handle the caller enlisted stays the caller's.
TEST(DetourThreads, HandlesOpenedForEveryThreadAreClosedWhenTheTransactionEnds) {
    const HANDLE wake = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE idle[4];
    for (HANDLE& t : idle) t = CreateThread(nullptr, 0, &WaitForEvent, wake, 0, nullptr);
    const DWORD callersId = GetThreadId(idle[0]);
    SyntheticCode code;
    const Add function = code.Place<Add>(kMsvcrt);
    for (const bool commit : {false, true}) {
        SCOPED_TRACE(commit ? "commit" : "abort");
        const std::size_t before = OpenHandleCount();
        Tag<1>::real = Ptr(function);
        ASSERT_EQ(DetourTransactionBegin(), NO_ERROR);
        EXPECT_EQ(DetourUpdateThread(idle[0]), NO_ERROR);
        EXPECT_EQ(DetourUpdateAllOtherThreads(), NO_ERROR);
        EXPECT_GE(OpenHandleCount(), before + 3);  // the other idle threads at least
        EXPECT_EQ(DetourAttach(&Tag<1>::real, Tag<1>::Self()), NO_ERROR);
        EXPECT_EQ(commit ? DetourTransactionCommit() : DetourTransactionAbort(), NO_ERROR);
        EXPECT_EQ(OpenHandleCount(), before);
        EXPECT_EQ(GetThreadId(idle[0]), callersId);
        EXPECT_EQ(function(2, 3), commit ? 51 : 5);
    }
    EXPECT_EQ(Change(false, Tag<1>::real, Tag<1>::Self()), NO_ERROR);
    SetEvent(wake);
    WaitForMultipleObjects(4, idle, TRUE, 5000);
    for (HANDLE t : idle) CloseHandle(t);
    CloseHandle(wake);
}

// Threads ending while they are enlisted (gone before they are opened or
// suspended, or stopped on their way out) are left out of the commit.
TEST(DetourThreads, ThreadsEndingDuringTheTransactionAreLeftOut) {
    g_stopEnding = 0;
    const HANDLE ending = CreateThread(nullptr, 0, &EndThreadsInBatches, nullptr, 0, nullptr);
    SyntheticCode code;
    const Add function = code.Place<Add>(kHotPatch, kNops);
    Tag<1>::real = Ptr(function);
    for (int round = 0; round < 60 && !testing::Test::HasFailure(); ++round) {
        ASSERT_EQ(DetourTransactionBegin(), NO_ERROR);
        EXPECT_EQ(DetourUpdateAllOtherThreads(), NO_ERROR);
        EXPECT_EQ(round % 2 == 0 ? DetourAttach(&Tag<1>::real, Tag<1>::Self())
                                 : DetourDetach(&Tag<1>::real, Tag<1>::Self()),
                  NO_ERROR);
        EXPECT_EQ(DetourTransactionCommit(), NO_ERROR) << "round " << round;
    }
    InterlockedExchange(&g_stopEnding, 1);
    WaitForSingleObject(ending, 5000);
    CloseHandle(ending);
    EXPECT_EQ(function(2, 3), 5);
}
