// Functions assembled from bytes for the hook tests: each on its own
// execute-read page (like real code), at a 16-byte aligned entry with room
// for filler bytes above it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace detourtest {

using Bytes = std::vector<std::uint8_t>;

class SyntheticCode {
public:
    static constexpr std::size_t kPage = 4096;
    static constexpr std::size_t kEntryOffset = 0x100;

    SyntheticCode() {
        m_base = static_cast<std::uint8_t*>(VirtualAlloc(nullptr, 64 * 1024, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        if (m_base) std::memset(m_base, 0x00, 64 * 1024);  // add [eax],al: neither filler nor code worth running
    }
    ~SyntheticCode() {
        if (m_base) VirtualFree(m_base, 0, MEM_RELEASE);
    }
    SyntheticCode(const SyntheticCode&) = delete;
    SyntheticCode& operator=(const SyntheticCode&) = delete;

    // Where the next Place will put its entry, for code with rel32 operands.
    std::uint8_t* NextEntry() const { return m_base + m_used * kPage + kEntryOffset; }

    // Writes filler then body so that body starts at NextEntry(); the page
    // ends up PAGE_EXECUTE_READ.
    template <typename F = void*>
    F Place(const Bytes& body, const Bytes& filler = {}) {
        std::uint8_t* entry = NextEntry();
        std::memcpy(entry - filler.size(), filler.data(), filler.size());
        std::memcpy(entry, body.data(), body.size());
        DWORD previous = 0;
        VirtualProtect(m_base + m_used * kPage, kPage, PAGE_EXECUTE_READ, &previous);
        ++m_used;
        return reinterpret_cast<F>(entry);
    }

    // A rel32 operand at `at` (the byte after the opcode) reaching target.
    static void PutRel32(Bytes& code, std::size_t at, const void* entry, const void* target) {
        const auto from = reinterpret_cast<std::uintptr_t>(entry) + at + 4;
        const auto rel = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(target) - from);
        std::memcpy(code.data() + at, &rel, 4);
    }

private:
    std::uint8_t* m_base = nullptr;
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
