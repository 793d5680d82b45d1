// Functions assembled from bytes for the hook tests: each on its own
// execute-read page, at a 16-byte aligned entry with room for filler above.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

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
    SyntheticCode() : m_base(static_cast<std::uint8_t*>(VirtualAlloc(nullptr, kSize, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE))) {}
    ~SyntheticCode() { VirtualFree(m_base, 0, MEM_RELEASE); }
    SyntheticCode(const SyntheticCode&) = delete;
    SyntheticCode& operator=(const SyntheticCode&) = delete;

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
        const auto rel = reinterpret_cast<std::uintptr_t>(target) -
                         (entry ? reinterpret_cast<std::uintptr_t>(entry) + at + 4 : 0);
        std::memcpy(code.data() + at, &rel, 4);
    }

private:
    static constexpr std::size_t kSize = 64 * 1024;
    std::uint8_t* m_base;
    std::size_t m_used = 0;
};

// The bytes around an entry, to compare before and after.
inline Bytes Snapshot(const void* entry) {
    const auto* p = static_cast<const std::uint8_t*>(entry);
    return Bytes(p - 8, p + 32);
}

inline DWORD ProtectionOf(const void* p) {
    MEMORY_BASIC_INFORMATION info{};
    VirtualQuery(p, &info, sizeof(info));
    return info.Protect;
}

}  // namespace detourtest
