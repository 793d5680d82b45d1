#include "detours/HookTable.h"

#include "detours/DetourAllThreads.h"
#include "detours/detours.h"

namespace modroute {
namespace {

template <typename Change>
bool ChangeInOneTransaction(std::initializer_list<std::span<const HookRow>> groups, Change change) {
    if (DetourTransactionBegin() != NO_ERROR) return false;
    // Game threads may already run: every one of them is stopped and moved
    // out of the rewritten bytes.
    if (DetourUpdateAllOtherThreads() != NO_ERROR) {
        DetourTransactionAbort();
        return false;
    }
    for (const auto& rows : groups) {
        for (const HookRow& row : rows) {
            if (*row.slot != nullptr) change(row.slot, row.replacement);
        }
    }
    if (DetourTransactionCommit() != NO_ERROR) {
        DetourTransactionAbort();
        return false;
    }
    return true;
}

}  // namespace

void LookUpRows(HMODULE module, std::span<const HookRow> rows) {
    for (const HookRow& row : rows) {
        *row.slot = module != nullptr ? reinterpret_cast<void*>(GetProcAddress(module, row.name)) : nullptr;
    }
}

bool AttachRows(std::initializer_list<std::span<const HookRow>> groups) {
    return ChangeInOneTransaction(groups, [](void** slot, void* replacement) { DetourAttach(slot, replacement); });
}

bool DetachRows(std::initializer_list<std::span<const HookRow>> groups) {
    return ChangeInOneTransaction(groups, [](void** slot, void* replacement) { DetourDetach(slot, replacement); });
}

}  // namespace modroute
