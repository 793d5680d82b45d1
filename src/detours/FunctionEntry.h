// A function's entry as the engine meets it: where a pointer really leads,
// and whether the entry is hot-patchable. Pure code: memory is read through
// a callback.
//
// Where a pointer leads, as Detours finds it: an import thunk (jmp [abs32])
// or a short jump (jmp rel8) at the pointer is followed, and a jmp rel32
// only right after one of those. A function that itself starts with jmp
// rel32 is its own entry: the jump may be a tail call into a body that other
// functions share, and hooking that body would catch their calls too.
//
// The hot-patchable entry: `mov edi,edi` (8B FF) with five filler bytes above
// it. The long jump goes into the filler, then one two-byte store turns the
// mov into `jmp short -7` (EB F9), so a running thread sees either the old or
// the new entry and never a half-written one.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace modroute::detours {

// Copies bytes at address into out; false when any of them is unreadable.
using MemoryReader = std::function<bool(std::uint32_t address, std::span<std::uint8_t> out)>;

struct JumpChain {
    bool complete = false;              // false: unreadable memory or a jump cycle
    std::vector<std::uint32_t> hops;    // the start, each jump's destination; back() is the function
};

constexpr std::size_t kMaxJumpHops = 8;

JumpChain FollowJumps(std::uint32_t start, const MemoryReader& read);

constexpr std::size_t kHotPatchPadding = 5;
constexpr std::size_t kHotPatchLength = kHotPatchPadding + 2;  // filler plus mov edi,edi
constexpr std::array<std::uint8_t, 2> kShortJumpToPadding = {0xEB, 0xF9};

// bytes: the seven bytes [entry - 5, entry + 2). The filler must be all nop
// or all int3, and the two-byte store must not straddle a cache line, or it
// would not be atomic.
bool IsHotPatchEntry(std::span<const std::uint8_t, kHotPatchLength> bytes, std::uint32_t entry);

}  // namespace modroute::detours
