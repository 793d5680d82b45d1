#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "detours/EntryRelocator.h"
#include "detours/HotPatch.h"
#include "detours/JumpChain.h"
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

}  // namespace

// Relative branches are aimed again from the trampoline, in their rel32
// form; instruction starts map both ways, shifted by the widening. (How
// relocated entries run is checked on real code in the transaction tests.)
TEST(EntryRelocator, RetargetsAndWidensBranchesAndMapsInstructionStarts) {
    EXPECT_EQ(Relocate("E8 FB 00 00 00 03 44 24 04").entry.code,  // call S + 0x100
              Code({{0xE8}, Rel32(S + 0x100 - (T + 5)), Back(5, 5)}));
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
        {"33 C0 C3 90 90", RelocationError::UnsafeInstruction},         // ret in the bytes
        {"90 CC 90 90 90", RelocationError::UnsafeInstruction},         // a breakpoint
        {"49 E2 FD 90 90", RelocationError::LoopInstruction},
        {"33 C0 74 FD 40", RelocationError::IntoInstruction},           // into the xor's second byte
        {"55 EB 10 90 90", RelocationError::FunctionTooShort},          // jmp after 3 bytes
        {"E8 00 00 00 00 58", RelocationError::CallIntoCopy},           // call next; pop eax
        {"66 E9 10 00 90", RelocationError::TruncatedBranch},
        {"0F 04 90 90 90", RelocationError::Undecodable},
        {"55 8B EC", RelocationError::Undecodable},                     // runs out of bytes
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
        {0x8000, Hex("EB 03")}, {0x8005, Hex("E9 F6 AF FF FF")}};
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
        {"90 90 90 90 90 8B FF", 0x7B60BDEC, true}, {"CC CC CC CC CC 8B FF", 0x7B6268C0, true},
        {"90 90 CC CC CC 8B FF", 0x1000, false},    {"90 90 90 90 90 55 8B", 0x1000, false},
        {"90 90 90 90 90 8B FF", 0x103F, false},  // the store would straddle a cache line
    };
    for (const auto& [hex, at, expected] : cases) {
        const Bytes b = Hex(hex);
        EXPECT_EQ(IsHotPatchEntry(std::span<const std::uint8_t, kHotPatchLength>(b.data(), kHotPatchLength), at), expected) << hex;
    }
}
