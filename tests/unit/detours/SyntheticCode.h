// Functions assembled from bytes for the hook tests: each on its own
// execute-read page, at an entry with room for filler above.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "detours/detours.h"

namespace detourtest {

using Bytes = std::vector<std::uint8_t>;

// "8B FF 55" -> {0x8B, 0xFF, 0x55}
inline Bytes Hex(const char* text) {
    Bytes out;
    for (char* end = nullptr;; text = end) {
        const unsigned long b = std::strtoul(text, &end, 16);
        if (end == text) return out;
        out.push_back(static_cast<std::uint8_t>(b));
    }
}

class SyntheticCode {
public:
    SyntheticCode() : m_base(static_cast<std::uint8_t*>(VirtualAlloc(nullptr, 64 * 1024, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE))) {}
    ~SyntheticCode() { VirtualFree(m_base, 0, MEM_RELEASE); }

    // Where the next Place puts its entry, for code with rel32 operands.
    std::uint8_t* NextEntry() const { return m_base + m_used * 4096 + 0x100; }
    // filler then body, body at NextEntry(); the page becomes execute-read.
    template <typename F = void*>
    F Place(const Bytes& body, const Bytes& filler = {}) {
        std::uint8_t* entry = NextEntry();
        std::memcpy(entry - filler.size(), filler.data(), filler.size());
        std::memcpy(entry, body.data(), body.size());
        DWORD previous = 0;
        VirtualProtect(m_base + m_used++ * 4096, 4096, PAGE_EXECUTE_READ, &previous);
        return reinterpret_cast<F>(entry);
    }
    // Writes a 4-byte operand: a rel32 from `code` placed at entry, or an address.
    static void Put(Bytes& code, std::size_t at, const void* entry, const void* target) {
        const auto rel = reinterpret_cast<std::uintptr_t>(target) - (entry ? reinterpret_cast<std::uintptr_t>(entry) + at + 4 : 0);
        std::memcpy(code.data() + at, &rel, 4);
    }

private:
    std::uint8_t* m_base;
    std::size_t m_used = 0;
};

// The bytes around an entry, to compare before and after.
inline Bytes Snapshot(const void* entry) { return Bytes(static_cast<const std::uint8_t*>(entry) - 8, static_cast<const std::uint8_t*>(entry) + 32); }

inline DWORD ProtectionOf(const void* p) {
    MEMORY_BASIC_INFORMATION info{};
    VirtualQuery(p, &info, sizeof(info));
    return info.Protect;
}

using Add = int(__cdecl*)(int, int);
inline void* Ptr(Add f) { return reinterpret_cast<void*>(f); }

// Bodies returning a + b. gdi32 form: lea ecx,[esp+4]; and esp,-16; push [ecx-4]; push ebp;
// mov ebp,esp; push ecx; mov eax,[ecx]; add eax,[ecx+4]; pop ecx; leave; lea esp,[ecx-4]; ret
inline const Bytes kNops = Hex("90 90 90 90 90");
inline const Bytes kHotPatch = Hex("8B FF 55 8B EC 8B 45 08 03 45 0C 5D C3");
inline const Bytes kMsvcrt = Hex("55 89 E5 83 E4 F0 8B 45 08 03 45 0C C9 C3");
inline const Bytes kGdi = Hex("8D 4C 24 04 83 E4 F0 FF 71 FC 55 89 E5 51 8B 01 03 41 04 59 C9 8D 61 FC C3");

// Detours that append their digit N to what the original returns: 5 becomes
// 51, and two detours in a row would show as 511, never as another one's 52.
template <int N>
struct Tag {
    static inline PVOID real = nullptr;
    static int __cdecl Detour(int a, int b) { return reinterpret_cast<Add>(real)(a, b) * 10 + N; }
    static PVOID Self() { return reinterpret_cast<PVOID>(&Detour); }
};

// One attach or detach in a transaction of its own; the first error.
inline LONG Change(bool attach, PVOID& pointer, PVOID detour) {
    DetourTransactionBegin();
    const LONG queued = attach ? DetourAttach(&pointer, detour) : DetourDetach(&pointer, detour);
    const LONG committed = DetourTransactionCommit();
    return queued != NO_ERROR ? queued : committed;
}

}  // namespace detourtest
