// One function as hooked (or about to be): what is written where, what was
// there before, and how threads caught in the rewritten bytes are moved.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>

#include "detours/EntryRelocator.h"
#include "detours/FunctionEntry.h"

namespace modroute::detours {

class TrampolinePool;

struct Hook {
    std::uint32_t target = 0;         // the function's entry, after following jumps
    std::uint32_t trampoline = 0;     // runs the original function
    std::uint32_t detour = 0;
    std::uint32_t pointerBefore = 0;  // the caller's pointer before the attach
    bool hotPatch = false;
    std::uint32_t patchAddress = 0;   // first byte written: target, or target - 5 for a hot patch
    std::uint8_t patchLength = 0;
    std::array<std::uint8_t, kHotPatchLength> original{};
    std::array<std::uint8_t, kHotPatchLength> patched{};
    RelocatedEntry relocation;        // empty for a hot patch
    bool freshSlot = false;           // the trampoline slot was taken from the pool for this attach

    // Bytes no other hook may touch: the patch and the instructions it cuts.
    std::uint32_t ClaimStart() const { return patchAddress; }
    std::uint32_t ClaimEnd() const {
        return hotPatch ? patchAddress + kHotPatchLength : target + static_cast<std::uint32_t>(relocation.copiedLength);
    }
    bool Claims(std::uint32_t address) const {
        return (address >= ClaimStart() && address < ClaimEnd()) || address == trampoline;
    }
    bool Overlaps(const Hook& other) const {
        return ClaimStart() < other.ClaimEnd() && other.ClaimStart() < ClaimEnd();
    }
};

// What the planner needs to know about hooks already made or queued.
class HookRegistry {
public:
    virtual bool IsClaimed(std::uint32_t address) const = 0;
    virtual bool OverlapsClaim(const Hook& hook) const = 0;
    // The trampoline slot the function had last time it was hooked, or 0.
    virtual std::uint32_t SlotOf(std::uint32_t target) const = 0;
    virtual ~HookRegistry() = default;
};

// Works out the hook of the function `pointer` leads to, filling a trampoline
// slot when it needs one. NO_ERROR or the error for DetourAttach.
LONG PlanHook(std::uint32_t pointer, std::uint32_t detour, const HookRegistry& registry, TrampolinePool& pool,
              Hook& hook);

// Writes the hook into the function (threads must already be safe), or takes
// it out again. The caller has made the bytes writable.
void InstallHook(const Hook& hook);
void RemoveHook(const Hook& hook);

// Where a thread stopped at eip continues once the hook is installed, or
// once it is removed; eip itself when it is not in the rewritten bytes.
std::uint32_t InstructionPointerAfterInstall(const Hook& hook, std::uint32_t eip);
std::uint32_t InstructionPointerAfterRemove(const Hook& hook, std::uint32_t eip);

}  // namespace modroute::detours
