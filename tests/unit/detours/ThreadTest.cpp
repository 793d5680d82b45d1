// Threads caught in bytes a commit rewrites.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "detours/DetourAllThreads.h"
#include "detours/detours.h"
#include "unit/detours/SyntheticCode.h"

using namespace detourtest;

namespace {

// fastcall, eax 0: spins while *flag is 0, then returns 42. The loop lies in
// the bytes a hook moves: je +0; L: cmp [ecx],eax; je L; mov eax,42; ret. Both
// short branches are widened in the trampoline, so the cmp moves from 2 to 6.
using Spin = int(__fastcall*)(volatile LONG*);
const Bytes kSpinWidened = Hex("74 00 39 01 74 FC B8 2A 00 00 00 C3");
const Bytes kSpinHotPatch = Hex("8B FF 8B 01 85 C0 74 FA B8 2A 00 00 00 C3");
PVOID g_spinReal = nullptr;
int __fastcall SpinDetour(volatile LONG* flag) { return reinterpret_cast<Spin>(g_spinReal)(flag) * 10 + 1; }

std::uint32_t Address(const void* p) { return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(p)); }

// Starts a thread and holds it suspended exactly as if it had reached `at`
// in a call of a Spin function on `flag`; resumed, it ends with the result.
HANDLE ParkThread(SyntheticCode& code, std::uint32_t at, volatile LONG* flag) {
    static const auto exitThread = &ExitThread;
    Bytes idle = Hex("EB FE 50 FF 15 00 00 00 00");  // jmp $; then: push eax; call [exitThread]
    SyntheticCode::Put(idle, 5, nullptr, &exitThread);
    const std::uint32_t start = Address(code.Place(idle));
    const HANDLE thread = CreateThread(nullptr, 0, reinterpret_cast<LPTHREAD_START_ROUTINE>(start), nullptr, 0, nullptr);
    CONTEXT context{};
    for (int i = 0; i < 5000 && context.Eip != start; ++i) {
        if (i > 0) ResumeThread(thread), Sleep(1);
        SuspendThread(thread);
        context.ContextFlags = CONTEXT_CONTROL | CONTEXT_INTEGER;
        GetThreadContext(thread, &context);
    }
    context.Eip = at, context.Ecx = Address(const_cast<LONG*>(flag)), context.Eax = 0, context.Esp -= 4;
    *reinterpret_cast<std::uint32_t*>(context.Esp) = start + 2;  // returns into ExitThread
    SetThreadContext(thread, &context);
    return thread;
}

}  // namespace

// A thread stopped in bytes a commit rewrites goes on where the same
// instruction now is, enlisted by handle or with every other thread; one
// left in an int3 filler would hit a breakpoint.
TEST(DetourThreads, EnlistedThreadsAreMovedOutOfRewrittenBytes) {
    // body, filler, detach (parked in the trampoline, else in the function), parked at, moved to
    const std::tuple<const Bytes&, Bytes, bool, int, int> cases[] = {
        {kSpinWidened, {}, false, 2, 6},
        {kSpinWidened, {}, true, 6, 2},
        {kSpinHotPatch, Hex("CC CC CC CC CC"), true, -7, 0},  // the original runs on from entry + 2
    };
    const PVOID detour = reinterpret_cast<PVOID>(&SpinDetour);
    for (const bool byHandle : {true, false}) {
        for (const auto& [body, filler, detach, parkedAt, movedTo] : cases) {
            SCOPED_TRACE(std::to_string(detach) + " " + std::to_string(parkedAt) + (byHandle ? " by handle" : " all"));
            SyntheticCode code;
            const PVOID function = code.Place(body, filler);
            g_spinReal = function;
            if (detach) {
                ASSERT_EQ(Change(true, g_spinReal, detour), NO_ERROR);
            }
            volatile LONG released = 0;  // three threads: each one must be found and moved
            const std::uint32_t at = Address(detach ? g_spinReal : function) + parkedAt;
            const HANDLE parked[] = {ParkThread(code, at, &released), ParkThread(code, at, &released),
                                     ParkThread(code, at, &released)};
            ASSERT_EQ(DetourTransactionBegin(), NO_ERROR);
            for (const HANDLE thread : parked) {
                EXPECT_EQ(byHandle ? DetourUpdateThread(thread) : DetourUpdateAllOtherThreads(), NO_ERROR);
            }
            EXPECT_EQ(detach ? DetourDetach(&g_spinReal, detour) : DetourAttach(&g_spinReal, detour), NO_ERROR);
            ASSERT_EQ(DetourTransactionCommit(), NO_ERROR);
            released = 1;
            for (const HANDLE thread : parked) {
                CONTEXT context{};
                context.ContextFlags = CONTEXT_CONTROL;
                GetThreadContext(thread, &context);
                EXPECT_EQ(context.Eip, Address(detach ? function : g_spinReal) + movedTo);
                ResumeThread(thread);
                DWORD result = 0;  // the original's, unless a detour was entered halfway
                EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
                EXPECT_TRUE(GetExitCodeThread(thread, &result) && result == 42) << result;
                CloseHandle(thread);
            }
            if (!detach) {
                EXPECT_EQ(Change(false, g_spinReal, detour), NO_ERROR);
            }
        }
    }
}
