#include "detours/X86Decoder.h"

#include <algorithm>

namespace modroute::detours {
namespace {

bool IsPrefix(std::uint8_t b) {
    switch (b) {
        case 0xF0: case 0xF2: case 0xF3:                          // lock, repne, rep
        case 0x26: case 0x2E: case 0x36: case 0x3E: case 0x64: case 0x65:  // segments
        case 0x66: case 0x67:                                     // operand, address size
            return true;
        default:
            return false;
    }
}

// Reads the operand bytes that follow the opcode, keeping track of where the
// instruction ends so truncation is detected in one place.
class Cursor {
public:
    Cursor(std::span<const std::uint8_t> code, std::size_t pos)
        : m_code(code.first(std::min(code.size(), kMaxInstructionLength))), m_pos(pos) {}

    bool Skip(std::size_t n) {
        if (m_failed || m_pos + n > m_code.size()) {
            m_failed = true;
            return false;
        }
        m_pos += n;
        return true;
    }
    // The byte at the cursor without consuming it; 0 when cut short.
    std::uint8_t Peek() {
        if (m_pos >= m_code.size()) {
            m_failed = true;
            return 0;
        }
        return m_code[m_pos];
    }
    std::int32_t Signed(std::size_t n) {
        const std::size_t at = m_pos;
        if (!Skip(n)) return 0;
        std::uint32_t v = 0;
        for (std::size_t i = 0; i < n; ++i) v |= std::uint32_t{m_code[at + i]} << (8 * i);
        if (n == 1) return static_cast<std::int8_t>(v);
        if (n == 2) return static_cast<std::int16_t>(v);
        return static_cast<std::int32_t>(v);
    }
    // ModR/M with its SIB and displacement; returns the reg field.
    std::uint8_t ModRm(bool address16) {
        const std::uint8_t modrm = Peek();
        if (!Skip(1)) return 0;
        const std::uint8_t mod = modrm >> 6, rm = modrm & 7;
        if (mod != 3) {
            if (address16) {
                Skip(mod == 1 ? 1 : mod == 2 || (mod == 0 && rm == 6) ? 2 : 0);
            } else {
                std::uint8_t base = rm;
                if (rm == 4) {
                    base = Peek() & 7;
                    Skip(1);
                }
                Skip(mod == 1 ? 1 : mod == 2 || (mod == 0 && base == 5) ? 4 : 0);
            }
        }
        return (modrm >> 3) & 7;
    }
    bool Failed() const { return m_failed; }
    std::size_t Position() const { return m_pos; }

private:
    std::span<const std::uint8_t> m_code;
    std::size_t m_pos;
    bool m_failed = false;
};

// Two-byte opcodes (0F xx). Returns false for opcodes that are not decoded.
bool DecodeTwoByte(Cursor& c, std::uint8_t op, bool op16, bool addr16, Instruction& out) {
    const std::size_t z = op16 ? 2 : 4;
    if (op >= 0x80 && op <= 0x8F) {
        out.flow = Flow::JumpConditional;
        out.condition = op & 0x0F;
        out.displacement = c.Signed(z);
        return true;
    }
    if (op == 0x0B) {  // ud2
        out.flow = Flow::Trap;
        return true;
    }
    switch (op) {
        case 0x05: case 0x06: case 0x07: case 0x08: case 0x09: case 0x0E:
        case 0x30: case 0x31: case 0x32: case 0x33: case 0x34: case 0x35: case 0x37:
        case 0x77: case 0xA0: case 0xA1: case 0xA2: case 0xA8: case 0xA9: case 0xAA:
            return true;  // no operands
        case 0x04: case 0x0A: case 0x0C: case 0x24: case 0x25: case 0x26: case 0x27:
        case 0x36: case 0x39: case 0x3B: case 0x3C: case 0x3D: case 0x3E: case 0x3F:
            return false;  // undefined
        case 0x38:  // three-byte table: opcode, ModR/M
            c.Skip(1);
            c.ModRm(addr16);
            return true;
        case 0x3A:  // three-byte table: opcode, ModR/M, imm8
            c.Skip(1);
            c.ModRm(addr16);
            c.Skip(1);
            return true;
        case 0x0F:  // 3DNow!: ModR/M, then the real opcode as a suffix byte
        case 0x70: case 0x71: case 0x72: case 0x73: case 0xA4: case 0xAC: case 0xBA:
        case 0xC2: case 0xC4: case 0xC5: case 0xC6:
            c.ModRm(addr16);
            c.Skip(1);
            return true;
        default:
            break;
    }
    if (op >= 0xC8 && op <= 0xCF) return true;  // bswap reg
    c.ModRm(addr16);  // everything left takes a ModR/M and no immediate
    return true;
}

}  // namespace

Instruction DecodeInstruction(std::span<const std::uint8_t> code) {
    bool op16 = false, addr16 = false;
    std::size_t pos = 0;
    while (pos < code.size() && pos < kMaxInstructionLength && IsPrefix(code[pos])) {
        op16 |= code[pos] == 0x66;
        addr16 |= code[pos] == 0x67;
        ++pos;
    }
    Cursor c(code, pos);
    const std::uint8_t op = c.Peek();
    c.Skip(1);
    if (c.Failed()) return {};

    Instruction out;
    out.operandSize16 = op16;
    const std::size_t z = op16 ? 2 : 4;
    bool known = true;

    if (op == 0x0F) {
        const std::uint8_t op2 = c.Peek();
        c.Skip(1);
        known = !c.Failed() && DecodeTwoByte(c, op2, op16, addr16, out);
    } else if (op >= 0x70 && op <= 0x7F) {
        out.flow = Flow::JumpConditional;
        out.condition = op & 0x0F;
        out.displacement = c.Signed(1);
    } else if (op >= 0xE0 && op <= 0xE3) {
        out.flow = Flow::LoopRelative;
        out.displacement = c.Signed(1);
    } else if (op < 0x40 && (op & 7) < 4) {
        c.ModRm(addr16);  // add/or/adc/sbb/and/sub/xor/cmp r/m forms
    } else if (op < 0x40 && (op & 7) == 4) {
        c.Skip(1);  // the same with al, imm8
    } else if (op < 0x40 && (op & 7) == 5) {
        c.Skip(z);  // the same with eax, imm
    } else if (op < 0x60 || (op >= 0x90 && op <= 0x99) || (op >= 0x9B && op <= 0x9F) ||
               (op >= 0xA4 && op <= 0xA7) || (op >= 0xAA && op <= 0xAF) || (op >= 0xEC && op <= 0xEF) ||
               (op >= 0xF5 && op <= 0xFD && op != 0xF6 && op != 0xF7) || op == 0xC9 || op == 0xCE ||
               op == 0xD6 || op == 0xD7) {
        // one byte: push/pop seg, daa..aas, inc/dec/push/pop reg, xchg, cwde,
        // flags, string ops, in/out dx, cmc/clc.., leave, into, salc, xlat
    } else if ((op >= 0xB0 && op <= 0xB7) || op == 0x6A || op == 0xA8 || op == 0xCD || op == 0xD4 || op == 0xD5 ||
               (op >= 0xE4 && op <= 0xE7)) {
        c.Skip(1);  // imm8
    } else if ((op >= 0xB8 && op <= 0xBF) || op == 0x68 || op == 0xA9) {
        c.Skip(z);
    } else if (op >= 0xA0 && op <= 0xA3) {
        c.Skip(addr16 ? 2 : 4);  // mov with a direct address
    } else {
        std::uint8_t reg = 0;
        switch (op) {
            case 0x60: case 0x61: case 0x6C: case 0x6D: case 0x6E: case 0x6F:
                break;  // pusha, popa, ins, outs
            case 0x62: case 0xC4: case 0xC5:                  // bound, les, lds; mod 3 is VEX/EVEX
                known = (c.Peek() >> 6) != 3;
                c.ModRm(addr16);
                break;
            case 0x63: case 0x84: case 0x85: case 0x86: case 0x87: case 0x88: case 0x89: case 0x8A:
            case 0x8B: case 0x8C: case 0x8D: case 0x8E: case 0xD0: case 0xD1: case 0xD2: case 0xD3:
            case 0xD8: case 0xD9: case 0xDA: case 0xDB: case 0xDC: case 0xDD: case 0xDE: case 0xDF:
                c.ModRm(addr16);
                break;
            case 0x69: case 0x81:
                c.ModRm(addr16);
                c.Skip(z);
                break;
            case 0x6B: case 0x80: case 0x82: case 0x83: case 0xC0: case 0xC1:
                c.ModRm(addr16);
                c.Skip(1);
                break;
            case 0x8F:  // pop r/m; other reg values are XOP
                known = c.ModRm(addr16) == 0;
                break;
            case 0xC6:  // mov r/m8, imm8; other reg values are xabort
                known = c.ModRm(addr16) == 0;
                c.Skip(1);
                break;
            case 0xC7:  // mov r/m, imm; other reg values are xbegin (relative)
                known = c.ModRm(addr16) == 0;
                c.Skip(z);
                break;
            case 0xF6: case 0xF7:  // test r/m, imm has an immediate; not/neg/mul/div do not
                reg = c.ModRm(addr16);
                if (reg < 2) c.Skip(op == 0xF6 ? 1 : z);
                break;
            case 0xFE:
                known = c.ModRm(addr16) < 2;
                break;
            case 0xFF:
                reg = c.ModRm(addr16);
                if (reg == 2 || reg == 3) out.flow = Flow::CallIndirect;
                if (reg == 4 || reg == 5) out.flow = Flow::JumpIndirect;
                known = reg != 7;
                break;
            case 0x9A: case 0xEA:  // far call/jmp ptr16:32
                c.Skip(z + 2);
                out.flow = op == 0x9A ? Flow::CallIndirect : Flow::JumpIndirect;
                break;
            case 0xC2: case 0xCA:
                c.Skip(2);
                out.flow = Flow::Return;
                break;
            case 0xC3: case 0xCB: case 0xCF:
                out.flow = Flow::Return;
                break;
            case 0xC8:  // enter imm16, imm8
                c.Skip(3);
                break;
            case 0xCC: case 0xF1: case 0xF4:
                out.flow = Flow::Trap;
                break;
            case 0xE8: case 0xE9:
                out.flow = op == 0xE8 ? Flow::CallRelative : Flow::JumpRelative;
                out.displacement = c.Signed(z);
                break;
            case 0xEB:
                out.flow = Flow::JumpRelative;
                out.displacement = c.Signed(1);
                break;
            default:
                known = false;
                break;
        }
    }
    if (!known || c.Failed()) return {};
    out.length = static_cast<std::uint8_t>(c.Position());
    return out;
}

}  // namespace modroute::detours
