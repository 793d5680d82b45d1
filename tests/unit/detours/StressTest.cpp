#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <vector>

#include "detours/detours.h"
#include "unit/detours/SyntheticCode.h"

using namespace detourtest;

namespace {

using Add = int(__cdecl*)(int, int);

PVOID g_real = nullptr;
std::atomic<long> g_detourCalls{0};
int __cdecl Forward(int a, int b) {
    ++g_detourCalls;
    return reinterpret_cast<Add>(g_real)(a, b);
}

Add g_function = nullptr;
std::atomic<bool> g_stop{false};
std::atomic<long> g_wrong{0};
DWORD WINAPI CallInALoop(void*) {
    for (int i = 0; !g_stop; ++i) {
        if (g_function(i, 7) != i + 7) ++g_wrong;
    }
    return 0;
}

// 200 times hooks and unhooks the function while three threads call it,
// waiting each time until the detour has been used; enlisting the callers or not.
void HookWhileCalled(const Bytes& body, const Bytes& filler, bool enlist) {
    SyntheticCode code;
    g_function = code.Place<Add>(body, filler);
    g_real = reinterpret_cast<PVOID>(g_function);
    const Bytes before = Snapshot(g_real);
    g_stop = false;
    g_wrong = 0;
    std::vector<HANDLE> callers;
    for (int i = 0; i < 3; ++i) callers.push_back(CreateThread(nullptr, 0, &CallInALoop, nullptr, 0, nullptr));
    for (int cycle = 0; cycle < 200 && !testing::Test::HasFailure(); ++cycle) {
        for (bool attach : {true, false}) {
            ASSERT_EQ(DetourTransactionBegin(), NO_ERROR);
            for (HANDLE t : callers) EXPECT_EQ(enlist ? DetourUpdateThread(t) : NO_ERROR, NO_ERROR);
            EXPECT_EQ(attach ? DetourAttach(&g_real, reinterpret_cast<PVOID>(&Forward))
                             : DetourDetach(&g_real, reinterpret_cast<PVOID>(&Forward)),
                      NO_ERROR);
            EXPECT_EQ(DetourTransactionCommit(), NO_ERROR);
            const long seen = g_detourCalls;
            for (DWORD start = GetTickCount(); attach && g_detourCalls < seen + 3 && GetTickCount() - start < 5000;) Sleep(0);
            EXPECT_GE(g_detourCalls, seen + (attach ? 3 : 0)) << "cycle " << cycle;
        }
    }
    g_stop = true;
    WaitForMultipleObjects(static_cast<DWORD>(callers.size()), callers.data(), TRUE, INFINITE);
    for (HANDLE t : callers) CloseHandle(t);
    EXPECT_EQ(g_wrong, 0);
    EXPECT_EQ(g_real, reinterpret_cast<PVOID>(g_function));
    EXPECT_EQ(Snapshot(g_real), before);
}

}  // namespace

// Not enlisted: the hot-patch switch alone must keep the callers safe.
TEST(DetourStress, HotPatchEntryWithCallersNotEnlisted) {
    HookWhileCalled(Hex("8B FF 55 8B EC 8B 45 08 03 45 0C 5D C3"), Hex("90 90 90 90 90"), false);
}

// The gdi32 form, which moves the stack, relocated with the callers enlisted.
TEST(DetourStress, RelocatedEntryWithCallersEnlisted) {
    HookWhileCalled(Hex("8D 4C 24 04 83 E4 F0 FF 71 FC 55 89 E5 51 8B 01 03 41 04 59 C9 8D 61 FC C3"), {}, true);
}
