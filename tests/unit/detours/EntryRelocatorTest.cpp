#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <map>
#include <vector>

#include "detours/EntryRelocator.h"
#include "detours/HotPatch.h"
#include "detours/JumpChain.h"

using namespace modroute::detours;
using Bytes = std::vector<std::uint8_t>;

namespace {

constexpr std::uint32_t kSource = 0x10000000;
constexpr std::uint32_t kTrampoline = 0x20000000;

Bytes Rel32(std::uint32_t value) {
    return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}

// Concatenates byte groups, so expected trampolines read as instructions.
Bytes Code(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// The jmp back that ends each trampoline, at trampoline offset `at`.
Bytes JumpBack(std::size_t at, std::size_t copied) {
    return Code({{0xE9}, Rel32(kSource + copied - (kTrampoline + at + 5))});
}

RelocationResult Relocate(const Bytes& code) { return RelocateEntry(code, kSource, kTrampoline, 5); }

}  // namespace

TEST(EntryRelocator, CopiesWholeInstructionsOfTheRealEntryForms) {
    struct Form {
        Bytes entry;
        std::size_t copied;
    };
    const Form forms[] = {
        {{0x8B, 0xFF, 0x55, 0x8B, 0xEC, 0x5D, 0xFF, 0x25, 0x70, 0xF2, 0x64, 0x7B}, 5},  // kernel32
        {{0x55, 0x89, 0xE5, 0x83, 0xE4, 0xF0, 0x83, 0xEC, 0x10}, 6},                    // msvcrt fopen
        {{0x8D, 0x4C, 0x24, 0x04, 0x83, 0xE4, 0xF0, 0xFF, 0x71, 0xFC, 0x55}, 7},        // gdi32 CreateFontA
    };
    for (const Form& f : forms) {
        const RelocationResult r = Relocate(f.entry);
        ASSERT_EQ(r.error, RelocationError::None);
        EXPECT_EQ(r.entry.copiedLength, f.copied);
        const Bytes copy(f.entry.begin(), f.entry.begin() + f.copied);
        EXPECT_EQ(r.entry.code, Code({copy, JumpBack(f.copied, f.copied)}));
    }
    // Every instruction start maps both ways, the end to the jump back.
    const RelocationResult r = Relocate(forms[2].entry);
    EXPECT_EQ(TrampolineOffsetFor(r.entry, 4), 4);
    EXPECT_EQ(TrampolineOffsetFor(r.entry, 7), 7);
    EXPECT_FALSE(TrampolineOffsetFor(r.entry, 2).has_value());
    EXPECT_EQ(OriginalOffsetFor(r.entry, 0), 0);
    EXPECT_FALSE(OriginalOffsetFor(r.entry, 9).has_value());
}

TEST(EntryRelocator, RetargetsRelativeBranchesAndWidensShortOnes) {
    // call rel32 to a helper at kSource + 0x100
    RelocationResult r = Relocate(Code({{0xE8}, Rel32(0x100 - 5), {0x03, 0x44, 0x24, 0x04}}));
    ASSERT_EQ(r.error, RelocationError::None);
    EXPECT_EQ(r.entry.code, Code({{0xE8}, Rel32(kSource + 0x100 - (kTrampoline + 5)), JumpBack(5, 5)}));

    // mov eax,[esp+4]; jmp short +3 -> jmp rel32 to the same place
    r = Relocate({0x8B, 0x44, 0x24, 0x04, 0xEB, 0x03, 0x40, 0x40, 0x40, 0xC3});
    ASSERT_EQ(r.error, RelocationError::None);
    EXPECT_EQ(r.entry.copiedLength, 6u);
    EXPECT_EQ(r.entry.code,
              Code({{0x8B, 0x44, 0x24, 0x04}, {0xE9}, Rel32(kSource + 9 - (kTrampoline + 9)), JumpBack(9, 6)}));

    // xor eax,eax; je +3 (leaving the copy); inc eax -> je rel32
    r = Relocate({0x33, 0xC0, 0x74, 0x03, 0x40, 0x40, 0x40});
    ASSERT_EQ(r.error, RelocationError::None);
    EXPECT_EQ(r.entry.code,
              Code({{0x33, 0xC0, 0x0F, 0x84}, Rel32(kSource + 7 - (kTrampoline + 8)), {0x40}, JumpBack(9, 5)}));
    EXPECT_EQ(OriginalOffsetFor(r.entry, 8), 4);  // the inc after the widened jump

    // near jcc keeps its form, branch-hint prefix dropped
    r = Relocate(Code({{0x3E, 0x0F, 0x85}, Rel32(0x20)}));
    ASSERT_EQ(r.error, RelocationError::None);
    EXPECT_EQ(r.entry.code, Code({{0x0F, 0x85}, Rel32(kSource + 7 + 0x20 - (kTrampoline + 6)), JumpBack(6, 7)}));
}

TEST(EntryRelocator, BranchesWithinTheCopyStayWithinTheTrampoline) {
    // je +0 lands on the next copied instruction
    RelocationResult r = Relocate({0x33, 0xC0, 0x74, 0x00, 0x40, 0x40});
    ASSERT_EQ(r.error, RelocationError::None);
    EXPECT_EQ(r.entry.code, Code({{0x33, 0xC0, 0x0F, 0x84}, Rel32(0), {0x40}, JumpBack(9, 5)}));

    // a spin loop entirely in the copy: mov eax,[ecx]; test eax,eax; je -6
    r = Relocate({0x8B, 0x01, 0x85, 0xC0, 0x74, 0xFA, 0xC3});
    ASSERT_EQ(r.error, RelocationError::None);
    EXPECT_EQ(r.entry.code, Code({{0x8B, 0x01, 0x85, 0xC0, 0x0F, 0x84}, Rel32(static_cast<std::uint32_t>(-10)),
                                  JumpBack(10, 6)}));
}

TEST(EntryRelocator, RefusesWhatCannotRunElsewhere) {
    const std::pair<Bytes, RelocationError> refused[] = {
        {{0x33, 0xC0, 0xC3, 0x90, 0x90}, RelocationError::UnsafeInstruction},        // ret in the bytes
        {{0x8B, 0x44, 0x24, 0x04, 0xC2, 0x04, 0x00}, RelocationError::UnsafeInstruction},
        {{0x90, 0xCC, 0x90, 0x90, 0x90}, RelocationError::UnsafeInstruction},        // a breakpoint
        {{0x49, 0xE2, 0xFD, 0x90, 0x90}, RelocationError::LoopInstruction},
        {{0x31, 0xC9, 0xE3, 0x01, 0x41}, RelocationError::LoopInstruction},          // jecxz
        {{0x33, 0xC0, 0x74, 0xFD, 0x40}, RelocationError::IntoInstruction},          // into the xor's second byte
        {{0x55, 0xEB, 0x10, 0x90, 0x90}, RelocationError::FunctionTooShort},         // jmp ends it at 3 bytes
        {{0xFF, 0xE0, 0x90, 0x90, 0x90}, RelocationError::FunctionTooShort},         // jmp eax
        {{0xE8, 0x00, 0x00, 0x00, 0x00, 0x58}, RelocationError::CallIntoCopy},       // call next; pop eax
        {{0x66, 0xE9, 0x10, 0x00, 0x90}, RelocationError::TruncatedBranch},
        {{0x0F, 0x04, 0x90, 0x90, 0x90}, RelocationError::Undecodable},
        {{0x55, 0x8B, 0xEC}, RelocationError::Undecodable},                          // bytes run out
    };
    for (const auto& [code, error] : refused) {
        const RelocationResult r = Relocate(code);
        EXPECT_EQ(r.error, error) << testing::PrintToString(code);
        EXPECT_TRUE(r.entry.code.empty());
    }
}

TEST(JumpChain, FollowsThunksAndPlantedJumpsToTheFunction) {
    std::map<std::uint32_t, std::uint8_t> memory;
    auto put = [&](std::uint32_t at, const Bytes& bytes) {
        for (std::size_t i = 0; i < bytes.size(); ++i) memory[at + static_cast<std::uint32_t>(i)] = bytes[i];
    };
    const MemoryReader read = [&](std::uint32_t at, std::span<std::uint8_t> out) {
        for (std::size_t i = 0; i < out.size(); ++i) {
            const auto it = memory.find(at + static_cast<std::uint32_t>(i));
            if (it == memory.end()) return false;
            out[i] = it->second;
        }
        return true;
    };
    put(0x1000, Code({{0xFF, 0x25}, Rel32(0x2000)}));  // jmp [0x2000]
    put(0x2000, Rel32(0x3000));
    put(0x3000, Code({{0xE9}, Rel32(0x4000 - 0x3005)}));
    put(0x4000, {0xEB, 0x10});
    put(0x4012, {0x55, 0x8B, 0xEC});
    JumpChain chain = FollowJumps(0x1000, read);
    EXPECT_TRUE(chain.complete);
    EXPECT_EQ(chain.hops, (std::vector<std::uint32_t>{0x1000, 0x3000, 0x4000, 0x4012}));

    put(0x5000, Code({{0xFF, 0x25}, Rel32(0x6000)}));  // the import cell is unreadable
    EXPECT_FALSE(FollowJumps(0x5000, read).complete);
    put(0x7000, {0xEB, 0xFE});  // jumps to itself
    EXPECT_FALSE(FollowJumps(0x7000, read).complete);
    EXPECT_FALSE(FollowJumps(0x9000, read).complete);
}

TEST(HotPatch, NeedsUniformFillerAndAnAtomicEntryStore) {
    using Seven = std::array<std::uint8_t, kHotPatchLength>;
    EXPECT_TRUE(IsHotPatchEntry(Seven{0x90, 0x90, 0x90, 0x90, 0x90, 0x8B, 0xFF}, 0x7B60BDEC));
    EXPECT_TRUE(IsHotPatchEntry(Seven{0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0x8B, 0xFF}, 0x7B6268C0));
    EXPECT_FALSE(IsHotPatchEntry(Seven{0x90, 0x90, 0xCC, 0xCC, 0xCC, 0x8B, 0xFF}, 0x1000));
    EXPECT_FALSE(IsHotPatchEntry(Seven{0x8D, 0x74, 0x26, 0x00, 0x90, 0x8B, 0xFF}, 0x1000));
    EXPECT_FALSE(IsHotPatchEntry(Seven{0x90, 0x90, 0x90, 0x90, 0x90, 0x55, 0x8B}, 0x1000));
    EXPECT_FALSE(IsHotPatchEntry(Seven{0x90, 0x90, 0x90, 0x90, 0x90, 0x8B, 0xFF}, 0x103F));  // straddles a line
}
