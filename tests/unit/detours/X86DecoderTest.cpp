#include <gtest/gtest.h>

#include "detours/X86Decoder.h"
#include "unit/detours/SyntheticCode.h"

using namespace modroute::detours;
using detourtest::Bytes;
using detourtest::Hex;

namespace {

// Each case is one instruction of `length` bytes (0: refused); the nops
// after it must not be counted.
void ExpectLengths(Flow flow, std::initializer_list<std::pair<const char*, int>> cases) {
    for (const auto& [text, length] : cases) {
        Bytes code = Hex(text);
        code.insert(code.end(), 4, 0x90);
        const Instruction in = DecodeInstruction(code);
        EXPECT_EQ(in.length, length) << text;
        EXPECT_EQ(in.flow, length != 0 ? flow : Flow::Sequential) << text;
    }
}

}  // namespace

TEST(X86Decoder, InstructionLengthsAndKinds) {
    ExpectLengths(Flow::Sequential, {
        // entries of kernel32, msvcrt and gdi32; filler
        {"8B FF", 2}, {"55", 1}, {"A1 20 03 FE 7F", 5}, {"83 E4 F0", 3}, {"C7 44 24 08 40 00 00 00", 8},
        {"8D 4C 24 04", 4}, {"FF 71 FC", 3}, {"8D 74 26 00", 4},
        // SIB, displacements, 16-bit addressing, segment and size prefixes, immediates
        {"8B 84 24 00 01 00 00", 7}, {"8B 04 85 00 10 00 00", 7}, {"8B 05 00 10 00 00", 6}, {"67 8B 46 02", 4},
        {"67 8B 06 34 12", 5}, {"64 A1 18 00 00 00", 6}, {"66 C7 45 F8 34 12", 6}, {"66 3D 00 01", 4},
        {"F6 45 08 01", 4}, {"F7 C1 00 00 00 80", 6}, {"F7 D8", 2}, {"6B C0 10", 3}, {"C8 10 00 00", 4},
        {"0F B6 45 08", 4}, {"66 0F 3A 0F C1 08", 6},
        // undefined, group 5 /7, VEX (not les), XOP (not pop), xbegin (not mov)
        {"0F 04", 0}, {"FF FF", 0}, {"C4 E2 79 18 00", 0}, {"8F E8 78 C0 C0 01", 0}, {"C7 F8 00 00 00 00", 0},
    });
    ExpectLengths(Flow::JumpIndirect, {{"FF 25 70 F2 64 7B", 6}, {"FF E0", 2}, {"EA 00 00 00 00 08 00", 7}});
    ExpectLengths(Flow::CallIndirect, {{"FF 15 00 10 00 00", 6}});
    ExpectLengths(Flow::JumpRelative, {{"EB 05", 2}, {"E9 00 00 00 00", 5}, {"66 E9 10 00", 4}});
    ExpectLengths(Flow::LoopRelative, {{"E2 FE", 2}, {"E3 05", 2}});
    ExpectLengths(Flow::Return, {{"C3", 1}, {"C2 08 00", 3}, {"CB", 1}});
    ExpectLengths(Flow::Trap, {{"CC", 1}, {"0F 0B", 2}, {"F4", 1}});
    for (const Bytes& cut : {Hex("8B 44 24"), Hex("E8 00 00"), Bytes(16, 0x66), Bytes{}}) {
        EXPECT_FALSE(DecodeInstruction(cut).Valid());
    }
}
