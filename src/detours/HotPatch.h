// The hot-patchable entry: `mov edi,edi` (8B FF) with five filler bytes above
// it. The long jump goes into the filler, then one two-byte store turns the
// mov into `jmp short -7` (EB F9), so a running thread sees either the old or
// the new entry and never a half-written one. Pure code.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace modroute::detours {

constexpr std::size_t kHotPatchPadding = 5;
constexpr std::size_t kHotPatchLength = kHotPatchPadding + 2;  // filler plus mov edi,edi
constexpr std::array<std::uint8_t, 2> kShortJumpToPadding = {0xEB, 0xF9};

// bytes: the seven bytes [entry - 5, entry + 2). The filler must be all nop
// or all int3, and the two-byte store must not straddle a cache line, or it
// would not be atomic.
bool IsHotPatchEntry(std::span<const std::uint8_t, kHotPatchLength> bytes, std::uint32_t entry);

}  // namespace modroute::detours
