#include "detours/HotPatch.h"

#include <algorithm>

namespace modroute::detours {

bool IsHotPatchEntry(std::span<const std::uint8_t, kHotPatchLength> bytes, std::uint32_t entry) {
    const auto padding = bytes.first<kHotPatchPadding>();
    const std::uint8_t filler = padding[0];
    if (filler != 0x90 && filler != 0xCC) return false;
    if (!std::all_of(padding.begin(), padding.end(), [filler](std::uint8_t b) { return b == filler; })) return false;
    return bytes[5] == 0x8B && bytes[6] == 0xFF && entry % 64 != 63;
}

}  // namespace modroute::detours
