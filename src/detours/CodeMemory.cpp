#include "detours/CodeMemory.h"

#include <cstring>

namespace modroute::detours {
namespace {

bool ReadableProtection(DWORD protect) {
    if (protect & (PAGE_GUARD | PAGE_NOACCESS)) return false;
    return (protect & (PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                       PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY)) != 0;
}

void* At(std::uint32_t address) { return reinterpret_cast<void*>(static_cast<std::uintptr_t>(address)); }

}  // namespace

std::size_t ReadableLength(std::uint32_t address, std::size_t limit) {
    std::size_t length = 0;
    while (length < limit) {
        MEMORY_BASIC_INFORMATION info;
        if (VirtualQuery(At(address + static_cast<std::uint32_t>(length)), &info, sizeof(info)) == 0) break;
        if (info.State != MEM_COMMIT || !ReadableProtection(info.Protect)) break;
        const std::uintptr_t regionEnd = reinterpret_cast<std::uintptr_t>(info.BaseAddress) + info.RegionSize;
        const std::uintptr_t here = address + length;
        if (regionEnd <= here) break;  // wrapped at the top of the address space
        length += regionEnd - here;
    }
    return length < limit ? length : limit;
}

bool IsReadable(std::uint32_t address, std::size_t size) {
    return address != 0 && ReadableLength(address, size) == size;
}

bool ReadCode(std::uint32_t address, std::span<std::uint8_t> out) {
    if (!IsReadable(address, out.size())) return false;
    std::memcpy(out.data(), At(address), out.size());
    return true;
}

DWORD UnlockedRange::Unlock() {
    return VirtualProtect(At(address), size, PAGE_EXECUTE_READWRITE, &previous) ? NO_ERROR : GetLastError();
}

void UnlockedRange::Restore() const {
    DWORD ignored = 0;
    VirtualProtect(At(address), size, previous, &ignored);
}

PagePieces SplitAtPageBoundary(std::uint32_t address, std::size_t size) {
    constexpr std::uint32_t kPage = 4096;  // the smallest page: splitting finer costs nothing
    PagePieces pieces;
    const std::uint32_t nextPage = (address / kPage + 1) * kPage;
    if (address + size <= nextPage || nextPage == 0) {
        pieces.piece[pieces.count++] = {address, size};
    } else {
        pieces.piece[pieces.count++] = {address, nextPage - address};
        pieces.piece[pieces.count++] = {nextPage, address + size - nextPage};
    }
    return pieces;
}

void WriteCode(std::uint32_t address, std::span<const std::uint8_t> bytes) {
    std::memcpy(At(address), bytes.data(), bytes.size());
    FlushInstructionCache(GetCurrentProcess(), At(address), bytes.size());
}

void WriteCodeAtomic16(std::uint32_t address, std::uint8_t first, std::uint8_t second) {
    const std::uint16_t value = static_cast<std::uint16_t>(first | second << 8);
    // x86 stores a word that does not cross a cache line in one piece, aligned or not.
    __atomic_store_n(static_cast<std::uint16_t*>(At(address)), value, __ATOMIC_SEQ_CST);
    FlushInstructionCache(GetCurrentProcess(), At(address), 2);
}

}  // namespace modroute::detours
