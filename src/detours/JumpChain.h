// Finds the function a pointer really leads to, as Detours does: an import
// thunk (jmp [abs32]) or a short jump (jmp rel8) at the pointer is followed,
// and a jmp rel32 only right after one of those. A function that itself
// starts with jmp rel32 is its own entry: the jump may be a tail call into a
// body that other functions share, and hooking that body would catch their
// calls too. Pure code: memory is read through a callback.
#pragma once

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

}  // namespace modroute::detours
