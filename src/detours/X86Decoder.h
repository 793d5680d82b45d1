// Instruction-length decoder for 32-bit x86 code, just enough to move the
// first instructions of a function somewhere else. Pure code: no Win32.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace modroute::detours {

// How control leaves an instruction; everything but Sequential matters when
// the instruction is copied to another address.
enum class Flow : std::uint8_t {
    Sequential,       // falls through (includes int n, which returns)
    JumpRelative,     // jmp rel8 / rel32
    JumpConditional,  // jcc rel8 / rel32
    CallRelative,     // call rel32
    LoopRelative,     // loop, loope, loopne, jecxz: rel8 only, no wide form
    JumpIndirect,     // jmp r/m, jmp far: absolute, copies as is
    CallIndirect,     // call r/m, call far: absolute, copies as is
    Return,           // ret, retf, iret
    Trap,             // int3, int1, hlt, ud2: nothing sensible follows
};

struct Instruction {
    std::uint8_t length = 0;          // 0: not decodable (or truncated)
    Flow flow = Flow::Sequential;
    std::uint8_t condition = 0;       // jcc: the condition code (low nibble)
    bool operandSize16 = false;       // 0x66 prefix: a relative branch would truncate EIP
    std::int32_t displacement = 0;    // relative branches: target = end of instruction + displacement

    bool Valid() const { return length != 0; }
};

constexpr std::size_t kMaxInstructionLength = 15;

// Decodes the instruction at the start of code; Valid() is false when the
// bytes are not an instruction this decoder knows or are cut short.
Instruction DecodeInstruction(std::span<const std::uint8_t> code);

}  // namespace modroute::detours
