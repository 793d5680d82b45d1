// Finds the function a pointer really leads to: import thunks (jmp [abs32])
// and jumps planted at function entries (jmp rel32 / rel8) are followed, so
// the hook lands on the code that does the work. Pure code: memory is read
// through a callback.
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
