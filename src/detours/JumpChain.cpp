#include "detours/JumpChain.h"

namespace modroute::detours {

JumpChain FollowJumps(std::uint32_t start, const MemoryReader& read) {
    JumpChain chain;
    std::uint32_t at = start;
    while (chain.hops.size() <= kMaxJumpHops) {
        chain.hops.push_back(at);
        std::uint8_t head[6] = {};
        if (!read(at, std::span(head, 2))) return chain;
        std::uint32_t next = 0;
        if (head[0] == 0xFF && head[1] == 0x25) {  // jmp [abs32]
            std::uint8_t cell[4];
            if (!read(at, std::span(head, 6))) return chain;
            const std::uint32_t slot = head[2] | head[3] << 8 | head[4] << 16 | std::uint32_t{head[5]} << 24;
            if (!read(slot, cell)) return chain;
            next = cell[0] | cell[1] << 8 | cell[2] << 16 | std::uint32_t{cell[3]} << 24;
        } else if (head[0] == 0xE9) {  // jmp rel32
            if (!read(at, std::span(head, 5))) return chain;
            next = at + 5 + (head[1] | head[2] << 8 | head[3] << 16 | std::uint32_t{head[4]} << 24);
        } else if (head[0] == 0xEB) {  // jmp rel8
            next = at + 2 + static_cast<std::uint32_t>(static_cast<std::int8_t>(head[1]));
        } else {
            chain.complete = true;
            return chain;
        }
        at = next;
    }
    return chain;  // too many hops: a cycle
}

}  // namespace modroute::detours
