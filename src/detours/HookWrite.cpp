// Putting a planned hook into its function and taking it out again, and
// where threads stopped in the rewritten bytes go on.
#include <span>

#include "detours/CodeMemory.h"
#include "detours/Hook.h"

namespace modroute::detours {

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
