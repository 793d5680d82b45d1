// Copies the first instructions of a function into a trampoline at another
// address so that they still do the same thing there, followed by a jump back
// to the rest of the function. Pure code: addresses are plain numbers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace modroute::detours {

enum class RelocationError {
    None,
    Undecodable,        // an instruction the decoder does not know, or bytes cut short
    FunctionTooShort,   // an unconditional jump ends the function before enough bytes
    UnsafeInstruction,  // ret, int3, hlt, ud2: the function may end inside the bytes
    LoopInstruction,    // loop/jecxz have only an 8-bit form
    TruncatedBranch,    // a 16-bit relative branch (0x66 prefix)
    IntoInstruction,    // a jump into the middle of a copied instruction
    CallIntoCopy,       // a call whose return address would be observed relative to the copy
};

// Instruction starts in both copies, in order; the last pair is the end of
// the copied bytes and the trampoline's jump back.
struct Boundary {
    std::uint8_t original;
    std::uint8_t trampoline;
};

struct RelocatedEntry {
    std::size_t copiedLength = 0;      // bytes of the function the copy replaces
    std::vector<std::uint8_t> code;    // the trampoline: relocated copy, then jmp back
    std::vector<Boundary> boundaries;
};

struct RelocationResult {
    RelocationError error = RelocationError::None;
    RelocatedEntry entry;
};

// The longest trampoline RelocateEntry can produce for a 5-byte minimum: at
// most 4 + 15 copied bytes, at most five branches widened by 4, one jump back.
constexpr std::size_t kMaxTrampolineLength = 19 + 5 * 4 + 5;

// Relocates whole instructions from the start of code (which sits at
// sourceAddress) until at least minimumLength bytes are covered, for a
// trampoline placed at trampolineAddress. Short branches become rel32 forms;
// branches within the copy keep pointing into the copy.
RelocationResult RelocateEntry(std::span<const std::uint8_t> code, std::uint32_t sourceAddress,
                               std::uint32_t trampolineAddress, std::size_t minimumLength);

// Where a thread stopped at this offset into the original continues in the
// trampoline, and back; nothing when the offset is not an instruction start.
std::optional<std::uint8_t> TrampolineOffsetFor(const RelocatedEntry& entry, std::size_t originalOffset);
std::optional<std::uint8_t> OriginalOffsetFor(const RelocatedEntry& entry, std::size_t trampolineOffset);

// E9 rel32 at `from` reaching `to`.
void EncodeJump(std::uint8_t* out, std::uint32_t from, std::uint32_t to);

}  // namespace modroute::detours
