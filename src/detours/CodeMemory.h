// Reading and writing code pages of the running process.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <span>

namespace modroute::detours {

// Every byte of [address, address + size) is committed and readable now.
bool IsReadable(std::uint32_t address, std::size_t size);

// Copies readable bytes; false (and nothing copied) when any is not.
bool ReadCode(std::uint32_t address, std::span<std::uint8_t> out);

// How many bytes from address on are readable, up to limit.
std::size_t ReadableLength(std::uint32_t address, std::size_t limit);

// One range made writable for the duration of a write; Restore() puts the
// protection it had back. Several ranges on one page must be restored in the
// reverse order of Unlock, as each remembers what it saw.
struct UnlockedRange {
    std::uint32_t address = 0;
    std::size_t size = 0;
    DWORD previous = 0;

    DWORD Unlock();    // NO_ERROR or the Win32 error
    void Restore() const;
};

// The pieces of a patch (at most 7 bytes, so at most two) that lie on
// different pages: each page gets its own protection back.
struct PagePieces {
    UnlockedRange piece[2];
    std::size_t count = 0;
};
PagePieces SplitAtPageBoundary(std::uint32_t address, std::size_t size);

// Plain byte copy into code followed by an instruction cache flush.
void WriteCode(std::uint32_t address, std::span<const std::uint8_t> bytes);

// The two-byte entry switch, as one store that no thread can see half done.
void WriteCodeAtomic16(std::uint32_t address, std::uint8_t first, std::uint8_t second);

}  // namespace modroute::detours
