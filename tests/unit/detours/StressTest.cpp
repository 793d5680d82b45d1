#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "detours/DetourAllThreads.h"
#include "detours/detours.h"
#include "unit/detours/SyntheticCode.h"

using namespace detourtest;

namespace {

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

// A relocated entry: push ebp; mov ebp,esp; and esp,-16 (all copied); mov eax,ecx; inc [eax]; leave; ret.
// A hot-patch entry with int3 filler: mov edi,edi; mov eax,ecx; inc [eax]; ret. A caller between the short
// and the long jump when the hook goes would meet the int3 filler unless moved.
TEST(DetourStress, RelocatedAndHotPatchEntriesUnderRunningCallers) {
    HookWhileCalled(Hex("55 8B EC 83 E4 F0 8B C1 FF 00 C9 C3"), {}, 40);
    HookWhileCalled(Hex("8B FF 8B C1 FF 00 C3"), Hex("CC CC CC CC CC"), 40);
}
