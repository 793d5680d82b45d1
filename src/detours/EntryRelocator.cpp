#include "detours/EntryRelocator.h"

#include "detours/X86Decoder.h"

namespace modroute::detours {
namespace {

void PutRel32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

bool IsRelativeBranch(Flow flow) {
    return flow == Flow::JumpRelative || flow == Flow::JumpConditional || flow == Flow::CallRelative;
}

// Bytes the instruction takes in the trampoline: relative branches are
// re-encoded in their rel32 form without prefixes.
std::size_t RelocatedLength(const Instruction& in) {
    switch (in.flow) {
        case Flow::JumpRelative:
        case Flow::CallRelative: return 5;
        case Flow::JumpConditional: return 6;
        default: return in.length;
    }
}

}  // namespace

void EncodeJump(std::uint8_t* out, std::uint32_t from, std::uint32_t to) {
    const std::uint32_t rel = to - (from + 5);
    out[0] = 0xE9;
    for (int i = 0; i < 4; ++i) out[1 + i] = static_cast<std::uint8_t>(rel >> (8 * i));
}

RelocationResult RelocateEntry(std::span<const std::uint8_t> code, std::uint32_t sourceAddress,
                               std::uint32_t trampolineAddress, std::size_t minimumLength) {
    struct Copied {
        Instruction in;
        std::size_t offset;
    };
    Copied copied[kMaxInstructionLength];  // at most minimumLength instructions
    std::size_t count = 0, covered = 0;
    RelocationResult result;
    auto fail = [&](RelocationError e) {
        result.error = e;
        result.entry = {};
        return result;
    };

    while (covered < minimumLength) {
        if (count == std::size(copied)) return fail(RelocationError::Undecodable);
        const Instruction in = DecodeInstruction(code.subspan(covered));
        if (!in.Valid()) return fail(RelocationError::Undecodable);
        if (in.flow == Flow::Return || in.flow == Flow::Trap) return fail(RelocationError::UnsafeInstruction);
        if (in.flow == Flow::LoopRelative) return fail(RelocationError::LoopInstruction);
        if (IsRelativeBranch(in.flow) && in.operandSize16) return fail(RelocationError::TruncatedBranch);
        copied[count++] = {in, covered};
        covered += in.length;
        // Bytes after an unconditional jump may already be another function.
        const bool endsFlow = in.flow == Flow::JumpRelative || in.flow == Flow::JumpIndirect;
        if (endsFlow && covered < minimumLength) return fail(RelocationError::FunctionTooShort);
    }

    RelocatedEntry& entry = result.entry;
    entry.copiedLength = covered;
    std::size_t at = 0;
    for (std::size_t i = 0; i < count; ++i) {
        entry.boundaries.push_back({static_cast<std::uint8_t>(copied[i].offset), static_cast<std::uint8_t>(at)});
        at += RelocatedLength(copied[i].in);
    }
    entry.boundaries.push_back({static_cast<std::uint8_t>(covered), static_cast<std::uint8_t>(at)});

    for (std::size_t i = 0; i < count; ++i) {
        const Instruction& in = copied[i].in;
        const std::size_t offset = copied[i].offset;
        if (!IsRelativeBranch(in.flow)) {
            entry.code.insert(entry.code.end(), code.begin() + offset, code.begin() + offset + in.length);
            continue;
        }
        const std::uint32_t end = static_cast<std::uint32_t>(offset + in.length);
        std::uint32_t target = sourceAddress + end + static_cast<std::uint32_t>(in.displacement);
        const std::uint32_t into = target - sourceAddress;  // wraps to huge when before the source
        if (in.flow == Flow::CallRelative) {
            // Code that calls into itself reads its return address (get-EIP):
            // from the trampoline it would see the wrong one.
            if (into <= covered) return fail(RelocationError::CallIntoCopy);
        } else if (into < covered) {
            const std::optional<std::uint8_t> moved = TrampolineOffsetFor(entry, into);
            if (!moved) return fail(RelocationError::IntoInstruction);
            target = trampolineAddress + *moved;
        }
        const std::uint32_t here = trampolineAddress + static_cast<std::uint32_t>(entry.code.size());
        if (in.flow == Flow::JumpConditional) {
            entry.code.push_back(0x0F);
            entry.code.push_back(static_cast<std::uint8_t>(0x80 | in.condition));
            PutRel32(entry.code, target - (here + 6));
        } else {
            entry.code.push_back(in.flow == Flow::CallRelative ? 0xE8 : 0xE9);
            PutRel32(entry.code, target - (here + 5));
        }
    }

    const std::size_t jumpAt = entry.code.size();
    entry.code.resize(jumpAt + 5);
    EncodeJump(entry.code.data() + jumpAt, trampolineAddress + static_cast<std::uint32_t>(jumpAt),
               sourceAddress + static_cast<std::uint32_t>(covered));
    return result;
}

std::optional<std::uint8_t> TrampolineOffsetFor(const RelocatedEntry& entry, std::size_t originalOffset) {
    for (const Boundary& b : entry.boundaries) {
        if (b.original == originalOffset) return b.trampoline;
    }
    return std::nullopt;
}

std::optional<std::uint8_t> OriginalOffsetFor(const RelocatedEntry& entry, std::size_t trampolineOffset) {
    for (const Boundary& b : entry.boundaries) {
        if (b.trampoline == trampolineOffset) return b.original;
    }
    return std::nullopt;
}

}  // namespace modroute::detours
