#include <gtest/gtest.h>

#include <vector>

#include "detours/X86Decoder.h"

using namespace modroute::detours;

namespace {

struct Case {
    std::vector<std::uint8_t> bytes;
    int length;
    Flow flow;
};

// Each case decodes as one instruction, with trailing bytes that must not be
// counted. -1: not decodable.
void ExpectDecodes(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        std::vector<std::uint8_t> code = c.bytes;
        code.insert(code.end(), {0x90, 0x90, 0x90, 0x90});
        const Instruction in = DecodeInstruction(code);
        ::testing::Message where;
        for (std::uint8_t b : c.bytes) where << std::hex << int{b} << ' ';
        if (c.length < 0) {
            EXPECT_FALSE(in.Valid()) << where;
            continue;
        }
        EXPECT_EQ(in.length, c.length) << where;
        EXPECT_EQ(in.flow, c.flow) << where;
    }
}

}  // namespace

TEST(X86Decoder, EntrySequencesOfTheHookedSystemFunctions) {
    const Flow s = Flow::Sequential;
    ExpectDecodes({
        // kernel32: mov edi,edi; push ebp; mov ebp,esp; pop ebp; jmp [abs32]
        {{0x8B, 0xFF}, 2, s}, {{0x55}, 1, s}, {{0x8B, 0xEC}, 2, s}, {{0x5D}, 1, s},
        {{0xFF, 0x25, 0x70, 0xF2, 0x64, 0x7B}, 6, Flow::JumpIndirect},
        {{0xA1, 0x20, 0x03, 0xFE, 0x7F}, 5, s},
        // msvcrt, GetStockObject: push ebp; mov ebp,esp; and esp,-16; sub esp,16
        {{0x89, 0xE5}, 2, s}, {{0x83, 0xE4, 0xF0}, 3, s}, {{0x83, 0xEC, 0x10}, 3, s}, {{0x53}, 1, s},
        {{0xC7, 0x44, 0x24, 0x08, 0x40, 0x00, 0x00, 0x00}, 8, s},  // mov [esp+8], imm32
        {{0x8B, 0x5D, 0x08}, 3, s},
        // gdi32/user32/d3dx9: lea ecx,[esp+4]; and esp,-16; push [ecx-4]
        {{0x8D, 0x4C, 0x24, 0x04}, 4, s}, {{0xFF, 0x71, 0xFC}, 3, s},
        // alignment filler between functions
        {{0x8D, 0x74, 0x26, 0x00}, 4, s}, {{0x8D, 0x76, 0x00}, 3, s}, {{0x66, 0x90}, 2, s},
    });
}

TEST(X86Decoder, OperandForms) {
    const Flow s = Flow::Sequential;
    ExpectDecodes({
        {{0x8B, 0x84, 0x24, 0x00, 0x01, 0x00, 0x00}, 7, s},        // mov eax,[esp+0x100]: SIB, disp32
        {{0x8B, 0x04, 0x85, 0x00, 0x10, 0x00, 0x00}, 7, s},        // mov eax,[eax*4+0x1000]: SIB without base
        {{0x8B, 0x05, 0x00, 0x10, 0x00, 0x00}, 6, s},              // mov eax,[abs32]
        {{0x67, 0x8B, 0x46, 0x02}, 4, s},                          // 16-bit addressing [bp+2]
        {{0x67, 0x8B, 0x06, 0x34, 0x12}, 5, s},                    // 16-bit [abs16]
        {{0x64, 0xA1, 0x18, 0x00, 0x00, 0x00}, 6, s},              // mov eax,fs:[0x18]
        {{0x66, 0xC7, 0x45, 0xF8, 0x34, 0x12}, 6, s},              // mov word [ebp-8], imm16
        {{0xC6, 0x45, 0xF8, 0x01}, 4, s},                          // mov byte [ebp-8], imm8
        {{0x81, 0xEC, 0x00, 0x01, 0x00, 0x00}, 6, s},              // sub esp, imm32
        {{0x80, 0x7D, 0x08, 0x00}, 4, s},                          // cmp byte [ebp+8], 0
        {{0x3D, 0x00, 0x01, 0x00, 0x00}, 5, s}, {{0x66, 0x3D, 0x00, 0x01}, 4, s},
        {{0x24, 0x0F}, 2, s}, {{0x33, 0xC0}, 2, s}, {{0x85, 0xC0}, 2, s},
        {{0xF6, 0x45, 0x08, 0x01}, 4, s},                          // test byte [ebp+8], imm8
        {{0xF7, 0xC1, 0x00, 0x00, 0x00, 0x80}, 6, s},              // test ecx, imm32
        {{0xF7, 0xD8}, 2, s},                                      // neg eax: no immediate
        {{0x68, 0x78, 0x56, 0x34, 0x12}, 5, s}, {{0x6A, 0x10}, 2, s},
        {{0xB8, 0x01, 0x00, 0x00, 0x00}, 5, s}, {{0x66, 0xB8, 0x34, 0x12}, 4, s}, {{0xB0, 0x01}, 2, s},
        {{0x69, 0xC0, 0x10, 0x00, 0x00, 0x00}, 6, s}, {{0x6B, 0xC0, 0x10}, 3, s},
        {{0xC8, 0x10, 0x00, 0x00}, 4, s},                          // enter
        {{0xF3, 0xAB}, 2, s},                                      // rep stosd
        {{0xDD, 0x45, 0x08}, 3, s},                                // fld qword [ebp+8]
        {{0x0F, 0xB6, 0x45, 0x08}, 4, s}, {{0x0F, 0x1F, 0x44, 0x00, 0x00}, 5, s},
        {{0xF3, 0x0F, 0x1E, 0xFB}, 4, s},                          // endbr32
        {{0x66, 0x0F, 0x3A, 0x0F, 0xC1, 0x08}, 6, s},              // palignr: three-byte map with imm8
        {{0xCD, 0x2E}, 2, s},                                      // int 0x2e returns
        {{0xFF, 0x15, 0x00, 0x10, 0x00, 0x00}, 6, Flow::CallIndirect},
        {{0xFF, 0xE0}, 2, Flow::JumpIndirect},
    });
}

TEST(X86Decoder, BranchesCarryTheirDisplacement) {
    const std::vector<std::uint8_t> jcc = {0x0F, 0x85, 0xFC, 0xFF, 0xFF, 0xFF};
    Instruction in = DecodeInstruction(jcc);
    EXPECT_EQ(in.length, 6);
    EXPECT_EQ(in.flow, Flow::JumpConditional);
    EXPECT_EQ(in.condition, 5);
    EXPECT_EQ(in.displacement, -4);

    in = DecodeInstruction(std::vector<std::uint8_t>{0x7C, 0x80});
    EXPECT_EQ(in.flow, Flow::JumpConditional);
    EXPECT_EQ(in.condition, 0xC);
    EXPECT_EQ(in.displacement, -128);

    in = DecodeInstruction(std::vector<std::uint8_t>{0xE8, 0x00, 0x01, 0x00, 0x00});
    EXPECT_EQ(in.flow, Flow::CallRelative);
    EXPECT_EQ(in.displacement, 0x100);

    in = DecodeInstruction(std::vector<std::uint8_t>{0x66, 0xE9, 0x10, 0x00});  // rel16
    EXPECT_EQ(in.length, 4);
    EXPECT_TRUE(in.operandSize16);

    ExpectDecodes({
        {{0xEB, 0x05}, 2, Flow::JumpRelative}, {{0xE9, 0, 0, 0, 0}, 5, Flow::JumpRelative},
        {{0xE2, 0xFE}, 2, Flow::LoopRelative}, {{0xE3, 0x05}, 2, Flow::LoopRelative},
        {{0xC3}, 1, Flow::Return}, {{0xC2, 0x08, 0x00}, 3, Flow::Return}, {{0xCB}, 1, Flow::Return},
        {{0xCC}, 1, Flow::Trap}, {{0x0F, 0x0B}, 2, Flow::Trap}, {{0xF4}, 1, Flow::Trap},
    });
}

TEST(X86Decoder, RefusesWhatItCannotMeasure) {
    ExpectDecodes({
        {{0x0F, 0x04}, -1, {}},                    // undefined two-byte opcode
        {{0xFF, 0xFF}, -1, {}},                    // group 5, reg 7
        {{0xC4, 0xE2, 0x79, 0x18, 0x00}, -1, {}},  // VEX, not les
        {{0x8F, 0xE8, 0x78, 0xC0, 0xC0, 0x01}, -1, {}},  // XOP, not pop
        {{0xC7, 0xF8, 0x00, 0x00, 0x00, 0x00}, -1, {}},  // xbegin: relative, not mov
    });
    // Cut short: a displacement or immediate beyond the given bytes.
    EXPECT_FALSE(DecodeInstruction(std::vector<std::uint8_t>{0x8B, 0x44, 0x24}).Valid());
    EXPECT_FALSE(DecodeInstruction(std::vector<std::uint8_t>{0xE8, 0x00, 0x00}).Valid());
    EXPECT_FALSE(DecodeInstruction(std::vector<std::uint8_t>(16, 0x66)).Valid());  // only prefixes
    EXPECT_FALSE(DecodeInstruction({}).Valid());
}
