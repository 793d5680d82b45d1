#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "detours/EntryRelocator.h"
#include "detours/FunctionEntry.h"
#include "detours/X86Decoder.h"
#include "unit/detours/SyntheticCode.h"

using namespace modroute::detours;
using detourtest::Bytes;
using detourtest::Hex;

namespace {

constexpr std::uint32_t S = 0x10000000;  // where the function is
constexpr std::uint32_t T = 0x20000000;  // where its trampoline goes

Bytes Rel32(std::uint32_t v) { return {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)}; }

// Hex text and rel32 operands in order, so expected trampolines read as instructions.
Bytes Code(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// The trampoline's last instruction, at offset `at`: back to the function after `copied` bytes.
Bytes Back(std::uint32_t at, std::uint32_t copied) { return Code({{0xE9}, Rel32(S + copied - (T + at + 5))}); }

RelocationResult Relocate(const char* hex) { return RelocateEntry(Hex(hex), S, T, 5); }

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

// One instruction of each encoding rule: ModRM with SIB and displacements,
// 16-bit addressing, prefixes, group immediates, three-byte opcodes, and
// encodings that only look like older instructions.
TEST(X86Decoder, InstructionLengthsAndKinds) {
    ExpectLengths(Flow::Sequential, {
        {"A1 20 03 FE 7F", 5}, {"C7 44 24 08 40 00 00 00", 8}, {"8B 84 24 00 01 00 00", 7}, {"8B 05 00 10 00 00", 6},
        {"67 8B 06 34 12", 5}, {"66 C7 45 F8 34 12", 6}, {"F7 C1 00 00 00 80", 6}, {"F7 D8", 2}, {"C8 10 00 00", 4},
        {"66 0F 3A 0F C1 08", 6}, {"0F 04", 0}, {"C4 E2 79 18 00", 0}, {"8F E8 78 C0 C0 01", 0}, {"C7 F8 00 00 00 00", 0},
    });
    ExpectLengths(Flow::JumpIndirect, {{"FF 25 70 F2 64 7B", 6}, {"EA 00 00 00 00 08 00", 7}});
    ExpectLengths(Flow::CallIndirect, {{"FF 15 00 10 00 00", 6}});
    ExpectLengths(Flow::JumpRelative, {{"EB 05", 2}, {"66 E9 10 00", 4}});
    ExpectLengths(Flow::LoopRelative, {{"E3 05", 2}});
    ExpectLengths(Flow::Return, {{"C2 08 00", 3}, {"CB", 1}});
    ExpectLengths(Flow::Trap, {{"CC", 1}, {"0F 0B", 2}});
    for (const Bytes& cut : {Hex("8B 44 24"), Bytes(16, 0x66)}) EXPECT_FALSE(DecodeInstruction(cut).Valid());
}

// Relative branches are aimed again from the trampoline, in their rel32
// form; instruction starts map both ways, shifted by the widening. (How
// relocated entries run is checked on real code in the transaction tests.)
TEST(EntryRelocator, RetargetsAndWidensBranchesAndMapsInstructionStarts) {
    // near jcc with a branch hint: same form, hint dropped
    EXPECT_EQ(Relocate("3E 0F 85 20 00 00 00").entry.code, Code({Hex("0F 85"), Rel32(S + 0x27 - (T + 6)), Back(6, 7)}));
    // je short leaving the copy; the inc after it moves by the widening
    const RelocatedEntry je = Relocate("33 C0 74 03 40 40 40").entry;
    EXPECT_EQ(je.code, Code({Hex("33 C0 0F 84"), Rel32(S + 7 - (T + 8)), {0x40}, Back(9, 5)}));
    EXPECT_EQ(je.copiedLength, 5u);
    EXPECT_EQ(TrampolineOffsetFor(je, 4), 8);
    EXPECT_EQ(OriginalOffsetFor(je, 8), 4);
    EXPECT_EQ(OriginalOffsetFor(je, 9), 5);  // the jump back continues the function
    EXPECT_FALSE(TrampolineOffsetFor(je, 1));  // inside the xor
}

TEST(EntryRelocator, RefusesWhatCannotRunElsewhere) {
    const std::pair<const char*, RelocationError> refused[] = {
        {"33 C0 C3 90 90", RelocationError::UnsafeInstruction},  // ret in the bytes
        {"49 E2 FD 90 90", RelocationError::LoopInstruction},
        {"33 C0 74 FD 40", RelocationError::IntoInstruction},     // into the xor's second byte
        {"55 EB 10 90 90", RelocationError::FunctionTooShort},    // jmp after 3 bytes
        {"E8 00 00 00 00 58", RelocationError::CallIntoCopy},     // call next; pop eax
        {"55 8B EC", RelocationError::Undecodable},               // runs out of bytes
    };
    for (const auto& [hex, error] : refused) {
        const RelocationResult r = Relocate(hex);
        EXPECT_EQ(r.error, error) << hex;
        EXPECT_TRUE(r.entry.code.empty()) << hex;
    }
}

// A jmp rel32 is followed only right after a thunk or a short jump: at an
// entry it may be a tail call into a body other functions share.
TEST(JumpChain, FollowsThunksShortJumpsAndTheLongJumpRightAfterThem) {
    const std::map<std::uint32_t, Bytes> blocks = {
        {0x1000, Hex("FF 25 00 20 00 00")}, {0x2000, Hex("00 30 00 00")}, {0x3000, Hex("E9 FB 0F 00 00")},
        {0x4000, Hex("EB 10")}, {0x4012, Hex("55 8B EC")}, {0x5000, Hex("FF 25 00 60 00 00")}, {0x7000, Hex("EB FE")},
        {0x8000, Hex("EB 03")}, {0x8005, Hex("E9 F6 AF FF FF")}, {0x9000, Hex("55 8B EC")}, {0x9010, Hex("EB EE")}};
    const MemoryReader read = [&](std::uint32_t at, std::span<std::uint8_t> out) {
        const auto it = blocks.find(at);
        if (it == blocks.end() || it->second.size() < out.size()) return false;
        std::copy_n(it->second.begin(), out.size(), out.begin());
        return true;
    };
    const std::pair<std::uint32_t, std::vector<std::uint32_t>> complete[] = {
        {0x1000, {0x1000, 0x3000, 0x4000, 0x4012}},  // thunk, its jmp rel32, a short jump, code
        {0x3000, {0x3000}},                          // jmp rel32 at the start: the entry itself
        {0x8000, {0x8000, 0x8005, 0x3000}},          // short jump, jmp rel32, then not a second one
        {0x9010, {0x9010, 0x9000}},                  // a short jump backwards
    };
    for (const auto& [start, hops] : complete) {
        const JumpChain chain = FollowJumps(start, read);
        EXPECT_TRUE(chain.complete) << start;
        EXPECT_EQ(chain.hops, hops) << start;
    }
    EXPECT_FALSE(FollowJumps(0x5000, read).complete);  // unreadable import cell
    EXPECT_FALSE(FollowJumps(0x7000, read).complete);  // a jump to itself
}

TEST(HotPatch, NeedsUniformFillerAndAnAtomicEntryStore) {
    const std::tuple<const char*, std::uint32_t, bool> cases[] = {
        {"CC CC CC CC CC 8B FF", 0x7B6268C0, true}, {"90 90 CC CC CC 8B FF", 0x1000, false},
        {"90 90 90 90 90 8B FF", 0x103F, false},  // the store would straddle a cache line
    };
    for (const auto& [hex, at, expected] : cases) {
        const Bytes b = Hex(hex);
        EXPECT_EQ(IsHotPatchEntry(std::span<const std::uint8_t, kHotPatchLength>(b.data(), kHotPatchLength), at), expected) << hex;
    }
}
