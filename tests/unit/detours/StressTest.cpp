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

// Threads calling the function in a loop, counting results that are not a + b.
class Callers {
public:
    Callers(Add function, int count) : m_function(function) {
        for (int i = 0; i < count; ++i) m_threads.push_back(CreateThread(nullptr, 0, &Run, this, 0, nullptr));
    }
    ~Callers() {
        m_stop = true;
        WaitForMultipleObjects(static_cast<DWORD>(m_threads.size()), m_threads.data(), TRUE, INFINITE);
        for (HANDLE t : m_threads) CloseHandle(t);
    }
    Callers(const Callers&) = delete;
    Callers& operator=(const Callers&) = delete;

    const std::vector<HANDLE>& Threads() const { return m_threads; }
    long Wrong() const { return m_wrong; }

private:
    static DWORD WINAPI Run(void* self) {
        auto* c = static_cast<Callers*>(self);
        for (int i = 0; !c->m_stop; ++i) {
            if (c->m_function(i, 7) != i + 7) ++c->m_wrong;
        }
        return 0;
    }
    Add m_function;
    std::vector<HANDLE> m_threads;
    std::atomic<bool> m_stop{false};
    std::atomic<long> m_wrong{0};
};

// Hooks and unhooks while the callers run; each cycle waits until the detour
// has really been used.
void Cycle(Add function, bool enlist, const Callers& callers) {
    for (int cycle = 0; cycle < 200; ++cycle) {
        for (bool attach : {true, false}) {
            ASSERT_EQ(DetourTransactionBegin(), NO_ERROR);
            if (enlist) {
                for (HANDLE t : callers.Threads()) ASSERT_EQ(DetourUpdateThread(t), NO_ERROR);
            }
            const LONG queued = attach ? DetourAttach(&g_real, reinterpret_cast<PVOID>(&Forward))
                                       : DetourDetach(&g_real, reinterpret_cast<PVOID>(&Forward));
            ASSERT_EQ(queued, NO_ERROR);
            ASSERT_EQ(DetourTransactionCommit(), NO_ERROR);
            if (attach) {
                const long seen = g_detourCalls;
                const DWORD start = GetTickCount();
                while (g_detourCalls < seen + 3 && GetTickCount() - start < 5000) Sleep(0);
                ASSERT_GE(g_detourCalls, seen + 3) << "cycle " << cycle;
            }
        }
        ASSERT_EQ(g_real, reinterpret_cast<PVOID>(function));
    }
}

}  // namespace

// Callers are not enlisted: the hot-patch switch alone must keep them safe.
TEST(DetourStress, HotPatchEntryWithCallersNotEnlisted) {
    SyntheticCode code;
    const Add function = code.Place<Add>({0x8B, 0xFF, 0x55, 0x8B, 0xEC, 0x8B, 0x45, 0x08, 0x03, 0x45, 0x0C, 0x5D, 0xC3},
                                         Bytes(5, 0x90));
    const Bytes before = Snapshot(reinterpret_cast<void*>(function));
    g_real = reinterpret_cast<PVOID>(function);
    {
        Callers callers(function, 3);
        Cycle(function, false, callers);
        EXPECT_EQ(callers.Wrong(), 0);
    }
    EXPECT_EQ(Snapshot(reinterpret_cast<void*>(function)), before);
}

// A relocated entry (the gdi32 form, which moves the stack) with the callers enlisted.
TEST(DetourStress, RelocatedEntryWithCallersEnlisted) {
    SyntheticCode code;
    const Add function = code.Place<Add>({0x8D, 0x4C, 0x24, 0x04, 0x83, 0xE4, 0xF0, 0xFF, 0x71, 0xFC, 0x55, 0x89, 0xE5,
                                          0x51, 0x8B, 0x01, 0x03, 0x41, 0x04, 0x59, 0xC9, 0x8D, 0x61, 0xFC, 0xC3});
    const Bytes before = Snapshot(reinterpret_cast<void*>(function));
    g_real = reinterpret_cast<PVOID>(function);
    {
        Callers callers(function, 3);
        Cycle(function, true, callers);
        EXPECT_EQ(callers.Wrong(), 0);
    }
    EXPECT_EQ(Snapshot(reinterpret_cast<void*>(function)), before);
}
