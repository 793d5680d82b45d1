// Cost of calling a hooked function whose detour only forwards through the
// trampoline, against calling it directly. Run by hand under Wine or Windows.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>

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

bool Hook(PVOID& pointer, PVOID detour) {
    DetourTransactionBegin();
    DetourUpdateThread(GetCurrentThread());
    if (DetourAttach(&pointer, detour) != NO_ERROR) {
        DetourTransactionAbort();
        return false;
    }
    return DetourTransactionCommit() == NO_ERROR;
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
    if (!Hook(g_relocatedReal, reinterpret_cast<PVOID>(&ForwardRelocated)) ||
        !Hook(g_hotPatchReal, reinterpret_cast<PVOID>(&ForwardHotPatch))) {
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
    return 0;
}
