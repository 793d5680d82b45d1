// Everything an attach decides before the commit (which function, which kind
// of patch, the trampoline), then writing the planned hook into its function,
// taking it out again, and where threads stopped in the rewritten bytes go on.
#include <cstring>
#include <span>

#include "detours/CodeMemory.h"
#include "detours/FunctionEntry.h"
#include "detours/Hook.h"
#include "detours/TrampolinePool.h"

namespace modroute::detours {
namespace {

constexpr std::size_t kEntryBytes = 32;  // enough for the instructions covering 5 bytes

std::uint32_t AddressOf(const void* p) { return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(p)); }

void PlanHotPatch(Hook& hook, const std::array<std::uint8_t, kHotPatchLength>& around) {
    hook.hotPatch = true;
    hook.patchAddress = hook.target - kHotPatchPadding;
    hook.patchLength = kHotPatchLength;
    hook.original = around;
    EncodeJump(hook.patched.data(), hook.patchAddress, hook.detour);
    hook.patched[5] = kShortJumpToPadding[0];
    hook.patched[6] = kShortJumpToPadding[1];
    hook.trampoline = hook.target + 2;  // the instructions after mov edi,edi run unchanged
}

LONG PlanRelocation(Hook& hook, TrampolinePool& pool, std::uint32_t cachedSlot) {
    std::uint8_t code[kEntryBytes];
    const std::size_t readable = ReadableLength(hook.target, kEntryBytes);
    if (readable < 5) return ERROR_INVALID_BLOCK;
    std::memcpy(code, reinterpret_cast<const void*>(static_cast<std::uintptr_t>(hook.target)), readable);
    const std::span<const std::uint8_t> entry(code, readable);

    // The function's previous trampoline is reused when it comes out the same,
    // so hooking one function again and again costs no memory, and a thread
    // still holding the old address runs the same code.
    RelocationResult plan;
    std::uint8_t* slot = nullptr;
    if (cachedSlot != 0) {
        plan = RelocateEntry(entry, hook.target, cachedSlot, 5);
        if (plan.error != RelocationError::None) return ERROR_INVALID_BLOCK;
        const void* cached = reinterpret_cast<const void*>(static_cast<std::uintptr_t>(cachedSlot));
        if (std::memcmp(cached, plan.entry.code.data(), plan.entry.code.size()) == 0) {
            slot = reinterpret_cast<std::uint8_t*>(static_cast<std::uintptr_t>(cachedSlot));
        }
    }
    if (slot == nullptr) {
        slot = pool.Acquire();
        if (slot == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
        plan = RelocateEntry(entry, hook.target, AddressOf(slot), 5);
        if (plan.error != RelocationError::None) {
            pool.Release(slot);
            return ERROR_INVALID_BLOCK;
        }
        if (!pool.Fill(slot, plan.entry.code)) {
            pool.Release(slot);
            return ERROR_NOT_ENOUGH_MEMORY;
        }
        hook.freshSlot = true;
    }
    hook.patchAddress = hook.target;
    hook.patchLength = 5;
    std::memcpy(hook.original.data(), code, 5);
    EncodeJump(hook.patched.data(), hook.target, hook.detour);
    hook.trampoline = AddressOf(slot);
    hook.relocation = std::move(plan.entry);
    return NO_ERROR;
}

}  // namespace

LONG PlanHook(std::uint32_t pointer, std::uint32_t detour, const HookRegistry& registry, TrampolinePool& pool,
              Hook& hook) {
    hook = Hook{};
    hook.pointerBefore = pointer;
    hook.detour = detour;
    const JumpChain chain = FollowJumps(pointer, ReadCode);
    if (!chain.complete) return ERROR_INVALID_BLOCK;
    for (std::uint32_t hop : chain.hops) {
        if (registry.IsClaimed(hop) || pool.Contains(hop)) return ERROR_INVALID_OPERATION;
    }
    hook.target = chain.hops.back();

    std::array<std::uint8_t, kHotPatchLength> around{};
    const LONG error = ReadCode(hook.target - kHotPatchPadding, around) && IsHotPatchEntry(around, hook.target)
                           ? (PlanHotPatch(hook, around), NO_ERROR)
                           : PlanRelocation(hook, pool, registry.SlotOf(hook.target));
    if (error != NO_ERROR) return error;
    if (registry.OverlapsClaim(hook)) {
        if (hook.freshSlot) pool.Release(reinterpret_cast<std::uint8_t*>(static_cast<std::uintptr_t>(hook.trampoline)));
        return ERROR_INVALID_OPERATION;
    }
    return NO_ERROR;
}


void InstallHook(const Hook& hook) {
    if (hook.hotPatch) {
        // Nothing executes the filler yet; the entry switches in one store.
        WriteCode(hook.patchAddress, std::span(hook.patched).first(kHotPatchPadding));
        WriteCodeAtomic16(hook.target, hook.patched[5], hook.patched[6]);
    } else {
        WriteCode(hook.patchAddress, std::span(hook.patched).first(hook.patchLength));
    }
}

void RemoveHook(const Hook& hook) {
    if (hook.hotPatch) {
        // No new thread reaches the filler once the entry is back.
        WriteCodeAtomic16(hook.target, hook.original[5], hook.original[6]);
        WriteCode(hook.patchAddress, std::span(hook.original).first(kHotPatchPadding));
    } else {
        WriteCode(hook.patchAddress, std::span(hook.original).first(hook.patchLength));
    }
}

std::uint32_t InstructionPointerAfterInstall(const Hook& hook, std::uint32_t eip) {
    if (hook.hotPatch) {
        return eip == hook.target ? hook.trampoline : eip;  // mov edi,edi does nothing: skip it
    }
    const std::uint32_t offset = eip - hook.target;
    if (offset >= hook.relocation.copiedLength) return eip;
    const auto moved = TrampolineOffsetFor(hook.relocation, offset);
    return moved ? hook.trampoline + *moved : eip;
}

std::uint32_t InstructionPointerAfterRemove(const Hook& hook, std::uint32_t eip) {
    if (hook.hotPatch) {
        // About to take the long jump to the detour: run the original instead.
        return eip - hook.patchAddress < kHotPatchPadding ? hook.target : eip;
    }
    const std::uint32_t offset = eip - hook.trampoline;
    if (offset >= hook.relocation.code.size()) return eip;
    const auto moved = OriginalOffsetFor(hook.relocation, offset);
    return moved ? hook.target + *moved : eip;
}

}  // namespace modroute::detours
