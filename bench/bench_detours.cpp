// Cost of calling a hooked function whose detour only forwards through the
// trampoline, against calling it directly; and cost of one hook change in a
// transaction that enlists only the calling thread or every other thread
// too. Run by hand under Wine or Windows.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "detours/DetourAllThreads.h"
#include "detours/detours.h"

namespace {

using Add = int(__cdecl*)(int, int);

constexpr int kIterations = 10'000'000;
constexpr int kRounds = 5;

PVOID g_relocatedReal = nullptr;
PVOID g_hotPatchReal = nullptr;
int __cdecl ForwardRelocated(int a, int b) { return reinterpret_cast<Add>(g_relocatedReal)(a, b); }
int __cdecl ForwardHotPatch(int a, int b) { return reinterpret_cast<Add>(g_hotPatchReal)(a, b); }

// a + b in the two entry forms: push ebp; mov ebp,esp; and esp,-16 (moved to
// a trampoline) and mov edi,edi under nop filler (hot patch).
Add Place(std::uint8_t* page, std::initializer_list<std::uint8_t> filler, std::initializer_list<std::uint8_t> body) {
    std::uint8_t* entry = page + 0x100;
    std::memcpy(entry - filler.size(), filler.begin(), filler.size());
    std::memcpy(entry, body.begin(), body.size());
    DWORD previous = 0;
    VirtualProtect(page, 4096, PAGE_EXECUTE_READ, &previous);
    return reinterpret_cast<Add>(entry);
}

// Best of several rounds, in nanoseconds per call. The volatile pointer keeps
// the compiler from inlining or hoisting the call.
double NanosecondsPerCall(Add function) {
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    Add volatile target = function;
    double best = 1e300;
    for (int round = 0; round < kRounds; ++round) {
        unsigned sum = 0;
        QueryPerformanceCounter(&start);
        for (int i = 0; i < kIterations; ++i) sum += static_cast<unsigned>(target(i, 1));
        QueryPerformanceCounter(&end);
        if (sum == 42) std::puts("");  // keeps the loop's results alive
        const double ns = 1e9 * static_cast<double>(end.QuadPart - start.QuadPart) /
                          static_cast<double>(frequency.QuadPart) / kIterations;
        if (ns < best) best = ns;
    }
    return best;
}

bool Change(bool attach, PVOID& pointer, PVOID detour, bool everyThread = false) {
    DetourTransactionBegin();
    if (everyThread) {
        DetourUpdateAllOtherThreads();
    } else {
        DetourUpdateThread(GetCurrentThread());
    }
    if ((attach ? DetourAttach(&pointer, detour) : DetourDetach(&pointer, detour)) != NO_ERROR) {
        DetourTransactionAbort();
        return false;
    }
    return DetourTransactionCommit() == NO_ERROR;
}

constexpr int kIdleThreads = 8;
constexpr int kTransactions = 200;

DWORD WINAPI WaitForEvent(void* event) { return WaitForSingleObject(event, INFINITE); }

// Microseconds per transaction that attaches or detaches the hot-patch hook,
// averaged over attach/detach pairs; negative when a commit failed.
double MicrosecondsPerTransaction(PVOID& pointer, PVOID detour, bool everyThread) {
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    for (int i = 0; i < kTransactions / 2; ++i) {
        if (!Change(false, pointer, detour, everyThread) || !Change(true, pointer, detour, everyThread)) return -1;
    }
    QueryPerformanceCounter(&end);
    return 1e6 * static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart) /
           kTransactions;
}

}  // namespace

int main() {
    auto* pages = static_cast<std::uint8_t*>(VirtualAlloc(nullptr, 2 * 4096, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    if (pages == nullptr) return 1;
    const Add relocated = Place(pages, {},
                                {0x55, 0x89, 0xE5, 0x83, 0xE4, 0xF0, 0x8B, 0x45, 0x08, 0x03, 0x45, 0x0C, 0xC9, 0xC3});
    const Add hotPatch = Place(pages + 4096, {0x90, 0x90, 0x90, 0x90, 0x90},
                               {0x8B, 0xFF, 0x55, 0x8B, 0xEC, 0x8B, 0x45, 0x08, 0x03, 0x45, 0x0C, 0x5D, 0xC3});

    const double directRelocated = NanosecondsPerCall(relocated);
    const double directHotPatch = NanosecondsPerCall(hotPatch);
    g_relocatedReal = reinterpret_cast<PVOID>(relocated);
    g_hotPatchReal = reinterpret_cast<PVOID>(hotPatch);
    if (!Change(true, g_relocatedReal, reinterpret_cast<PVOID>(&ForwardRelocated)) ||
        !Change(true, g_hotPatchReal, reinterpret_cast<PVOID>(&ForwardHotPatch))) {
        std::puts("hooking failed");
        return 1;
    }
    if (relocated(2, 3) != 5 || hotPatch(2, 3) != 5) {
        std::puts("hooked functions give wrong results");
        return 1;
    }
    const double hookedRelocated = NanosecondsPerCall(relocated);
    const double hookedHotPatch = NanosecondsPerCall(hotPatch);

    std::printf("calls of a + b, best of %d rounds of %d calls\n\n", kRounds, kIterations);
    std::printf("%-26s %10s %10s %8s\n", "entry form", "direct ns", "hooked ns", "ratio");
    std::printf("%-26s %10.2f %10.2f %8.2f\n", "relocated (push ebp ...)", directRelocated, hookedRelocated,
                hookedRelocated / directRelocated);
    std::printf("%-26s %10.2f %10.2f %8.2f\n", "hot patch (mov edi,edi)", directHotPatch, hookedHotPatch,
                hookedHotPatch / directHotPatch);

    const PVOID detour = reinterpret_cast<PVOID>(&ForwardHotPatch);
    const double alone = MicrosecondsPerTransaction(g_hotPatchReal, detour, false);
    const HANDLE wake = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE idle[kIdleThreads];
    for (HANDLE& thread : idle) thread = CreateThread(nullptr, 0, &WaitForEvent, wake, 0, nullptr);
    const double everyThread = MicrosecondsPerTransaction(g_hotPatchReal, detour, true);
    SetEvent(wake);
    WaitForMultipleObjects(kIdleThreads, idle, TRUE, INFINITE);
    for (HANDLE thread : idle) CloseHandle(thread);
    std::printf("\none hook change per transaction, average of %d\n\n", kTransactions);
    std::printf("%-46s %10.1f us\n", "calling thread enlisted", alone);
    std::printf("%-46s %10.1f us\n", "every other thread enlisted (8 idle threads)", everyThread);
    return alone < 0 || everyThread < 0 ? 1 : 0;
}
