#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <functional>
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
    context.Eip = at;
    context.Ecx = Address(const_cast<LONG*>(flag));
    context.Eax = 0;
    context.Esp -= 4;
    *reinterpret_cast<std::uint32_t*>(context.Esp) = start + 2;  // returns into ExitThread
    SetThreadContext(thread, &context);
    return thread;
}

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


// One caller's counts, on a cache line of its own; written by its thread only.
struct alignas(64) Record {
    volatile long calls = 0;
    volatile long detoured = 0;
    long detouredBefore = 0;  // at the last attach
    bool DetouredSince() const { return detoured != detouredBefore; }
};

PVOID g_real = nullptr;
volatile char g_stop = 0;

// Hooks and unhooks `body` `cycles` times while three threads call it, every
// other thread enlisted each time. Callers, function and detour are a few
// instructions of machine code, so a suspended caller is often in the bytes
// that change. The function takes its caller's Record in ecx, counts the call
// and returns the Record; the detour counts and forwards.
void HookWhileCalled(const Bytes& body, const Bytes& filler, int cycles) {
    SyntheticCode code;
    const PVOID function = code.Place(body, filler);
    Bytes detour = Hex("FF 41 04 FF 25 00 00 00 00");  // inc [ecx+4]; jmp [g_real]
    SyntheticCode::Put(detour, 5, nullptr, &g_real);
    const PVOID detourEntry = code.Place(detour);
    // mov ecx,[esp+4]; L: call function; cmp eax,ecx; jne Wrong; cmp byte [g_stop],0; je L;
    // xor eax,eax; ret 4; Wrong: mov eax,1; ret 4
    Bytes caller = Hex("8B 4C 24 04 E8 00 00 00 00 3B C1 75 0E 80 3D 00 00 00 00 00 74 EE 33 C0 C2 04 00 "
                       "B8 01 00 00 00 C2 04 00");
    SyntheticCode::Put(caller, 5, code.NextEntry(), function);
    SyntheticCode::Put(caller, 15, nullptr, const_cast<char*>(&g_stop));
    const auto run = reinterpret_cast<LPTHREAD_START_ROUTINE>(code.Place(caller));

    g_real = function;
    const Bytes before = Snapshot(function);
    g_stop = 0;
    Record records[3];
    std::vector<HANDLE> callers;
    for (Record& r : records) callers.push_back(CreateThread(nullptr, 0, run, &r, 0, nullptr));
    for (int cycle = 0; cycle < cycles && !testing::Test::HasFailure(); ++cycle) {
        for (Record& r : records) r.detouredBefore = r.detoured;
        auto allDetoured = [&] { return std::all_of(records, records + 3, std::mem_fn(&Record::DetouredSince)); };
        for (bool attach : {true, false}) {
            ASSERT_EQ(DetourTransactionBegin(), NO_ERROR);
            EXPECT_EQ(DetourUpdateAllOtherThreads(), NO_ERROR);
            EXPECT_EQ(attach ? DetourAttach(&g_real, detourEntry) : DetourDetach(&g_real, detourEntry), NO_ERROR);
            EXPECT_EQ(DetourTransactionCommit(), NO_ERROR) << "cycle " << cycle;
            // Every caller goes through the detour before it is removed.
            for (const DWORD start = GetTickCount(); attach && !allDetoured() && GetTickCount() - start < 5000;) Sleep(0);
        }
        EXPECT_TRUE(allDetoured()) << "cycle " << cycle;
    }
    g_stop = 1;
    WaitForMultipleObjects(static_cast<DWORD>(callers.size()), callers.data(), TRUE, INFINITE);
    for (HANDLE t : callers) {
        DWORD exitCode = 1;
        GetExitCodeThread(t, &exitCode);
        EXPECT_EQ(exitCode, 0u) << "a caller got a wrong result";
        CloseHandle(t);
    }
    EXPECT_EQ(g_real, function);
    EXPECT_EQ(Snapshot(function), before);
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
        bool detach;  // and parked in the trampoline, else in the function; then moved to the other
        int parkedAt, movedTo;
    } cases[] = {
        {"attach, thread in the copied bytes", kSpinRelocated, {}, false, 2, 2},
        {"detach, thread in the trampoline", kSpinRelocated, {}, true, 2, 2},
        // the original runs on from entry + 2: the filler starts 7 bytes before
        {"detach, thread in an int3 filler", kSpinHotPatch, Hex("CC CC CC CC CC"), true, -7, 0},
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
            volatile LONG released = 0;
            const std::uint32_t at = Address(c.detach ? g_spinReal : function) + c.parkedAt;
            const HANDLE parked[] = {ParkThread(code, at, &released), ParkThread(code, at, &released),
                                     ParkThread(code, at, &released)};
            ASSERT_EQ(DetourTransactionBegin(), NO_ERROR);
            for (const HANDLE thread : parked) {
                EXPECT_EQ(byHandle ? DetourUpdateThread(thread) : DetourUpdateAllOtherThreads(), NO_ERROR);
            }
            const PVOID detour = reinterpret_cast<PVOID>(&SpinDetour);
            EXPECT_EQ(c.detach ? DetourDetach(&g_spinReal, detour) : DetourAttach(&g_spinReal, detour), NO_ERROR);
            ASSERT_EQ(DetourTransactionCommit(), NO_ERROR);
            released = 1;
            for (const HANDLE thread : parked) {
                CONTEXT context{};
                context.ContextFlags = CONTEXT_CONTROL;
                GetThreadContext(thread, &context);
                EXPECT_EQ(context.Eip, Address(c.detach ? function : g_spinReal) + c.movedTo);
                ResumeThread(thread);
                DWORD result = 0;  // the original's, unless a detour was entered halfway
                EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
                EXPECT_TRUE(GetExitCodeThread(thread, &result) && result == 42) << result;
                CloseHandle(thread);
            }
            if (!c.detach) {
                EXPECT_EQ(Change(false, g_spinReal, reinterpret_cast<PVOID>(&SpinDetour)), NO_ERROR);
            }
        }
    }
}

// Every other thread is enlisted again and again while batches of threads
// end: those gone before they are opened or suspended, or stopped on their
// way out, are left out rather than failing the commit. The handles opened
// are closed whether the transaction commits or aborts; a handle the caller
// enlisted stays the caller's.
TEST(DetourThreads, EndingThreadsAreLeftOutAndEveryHandleOpenedIsClosed) {
    SyntheticCode code;
    const Add function = code.Place<Add>(kHotPatch, kNops);
    Tag<1>::real = Ptr(function);
    const std::size_t handles = OpenHandleCount();
    g_stopEnding = 0;
    const HANDLE ending = CreateThread(nullptr, 0, &EndThreadsInBatches, nullptr, 0, nullptr);
    const DWORD endingId = GetThreadId(ending);
    for (int round = 0; round < 40 && !testing::Test::HasFailure(); ++round) {
        ASSERT_EQ(DetourTransactionBegin(), NO_ERROR);
        EXPECT_EQ(DetourUpdateThread(ending), NO_ERROR);
        EXPECT_EQ(DetourUpdateAllOtherThreads(), NO_ERROR);
        EXPECT_EQ(Tag<1>::real == Ptr(function) ? DetourAttach(&Tag<1>::real, Tag<1>::Self())
                                                 : DetourDetach(&Tag<1>::real, Tag<1>::Self()),
                  NO_ERROR);
        EXPECT_EQ(round % 3 == 2 ? DetourTransactionAbort() : DetourTransactionCommit(), NO_ERROR) << round;
        EXPECT_EQ(GetThreadId(ending), endingId);
    }
    InterlockedExchange(&g_stopEnding, 1);
    WaitForSingleObject(ending, 5000);
    CloseHandle(ending);
    EXPECT_EQ(OpenHandleCount(), handles);
    if (Tag<1>::real != Ptr(function)) {
        EXPECT_EQ(Change(false, Tag<1>::real, Tag<1>::Self()), NO_ERROR);
    }
    EXPECT_EQ(function(2, 3), 5);
}

// A relocated entry: push ebp; mov ebp,esp; and esp,-16 (all copied); mov eax,ecx; inc [eax]; leave; ret.
// A hot-patch entry with int3 filler: mov edi,edi; mov eax,ecx; inc [eax]; ret. A caller between the short
// and the long jump when the hook goes would meet the int3 filler unless moved.
TEST(DetourStress, RelocatedAndHotPatchEntriesUnderRunningCallers) {
    HookWhileCalled(Hex("55 8B EC 83 E4 F0 8B C1 FF 00 C9 C3"), {}, 40);
    HookWhileCalled(Hex("8B FF 8B C1 FF 00 C3"), Hex("CC CC CC CC CC"), 40);
}
