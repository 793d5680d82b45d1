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
    if (!ChangeInOneTransaction(groups, [](void** slot, void* replacement) { DetourAttach(slot, replacement); })) {
        return false;
    }
    // A hook must never outlive the code it jumps into: the module of every
    // replacement stays loaded for the life of the process, so a FreeLibrary
    // only drops a reference and no thread inside a replacement, or about to
    // return into one, ever meets freed code. A module that cannot be pinned
    // gets its functions back.
    for (const auto& rows : groups) {
        for (const HookRow& row : rows) {
            HMODULE pinned = nullptr;
            if (*row.slot == nullptr ||
                GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                                   static_cast<LPCWSTR>(row.replacement), &pinned)) {
                continue;
            }
            DetachRows(groups);
            return false;
        }
    }
    return true;
}

bool DetachRows(std::initializer_list<std::span<const HookRow>> groups) {
    return ChangeInOneTransaction(groups, [](void** slot, void* replacement) { DetourDetach(slot, replacement); });
}

}  // namespace modroute
