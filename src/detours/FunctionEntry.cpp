#include "detours/FunctionEntry.h"

#include <algorithm>

namespace modroute::detours {
namespace {

std::uint32_t Rel32At(const std::uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t{p[3]} << 24;
}

}  // namespace

JumpChain FollowJumps(std::uint32_t start, const MemoryReader& read) {
    JumpChain chain;
    std::uint32_t at = start;
    bool rel32Follows = false;  // the hop before was a thunk or a short jump
    while (chain.hops.size() <= kMaxJumpHops) {
        chain.hops.push_back(at);
        std::uint8_t head[6] = {};
        if (!read(at, std::span(head, 2))) return chain;
        std::uint32_t next = 0;
        if (head[0] == 0xFF && head[1] == 0x25) {  // jmp [abs32]
            std::uint8_t cell[4];
            if (!read(at, std::span(head, 6))) return chain;
            if (!read(Rel32At(head + 2), cell)) return chain;
            next = Rel32At(cell);
            rel32Follows = true;
        } else if (head[0] == 0xEB) {  // jmp rel8
            next = at + 2 + static_cast<std::uint32_t>(static_cast<std::int8_t>(head[1]));
            rel32Follows = true;
        } else if (head[0] == 0xE9 && rel32Follows) {  // jmp rel32
            if (!read(at, std::span(head, 5))) return chain;
            next = at + 5 + Rel32At(head + 1);
            rel32Follows = false;
        } else {
            chain.complete = true;
            return chain;
        }
        at = next;
    }
    return chain;  // too many hops: a cycle
}

bool IsHotPatchEntry(std::span<const std::uint8_t, kHotPatchLength> bytes, std::uint32_t entry) {
    const auto padding = bytes.first<kHotPatchPadding>();
    const std::uint8_t filler = padding[0];
    if (filler != 0x90 && filler != 0xCC) return false;
    if (!std::all_of(padding.begin(), padding.end(), [filler](std::uint8_t b) { return b == filler; })) return false;
    return bytes[5] == 0x8B && bytes[6] == 0xFF && entry % 64 != 63;
}

}  // namespace modroute::detours
