// Tables of hooks and the one transaction that attaches or detaches a table:
// what the file hooks and the font hooks both need of the engine.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <span>

namespace modroute {

// One hooked function: the slot holding the real function (the trampoline
// while attached), its replacement, and its exported name for LookUpRows.
struct HookRow {
    void** slot;
    void* replacement;
    const char* name = nullptr;
};

template <typename Function>
HookRow Row(Function& slot, Function replacement, const char* name = nullptr) {
    return {reinterpret_cast<void**>(&slot), reinterpret_cast<void*>(replacement), name};
}

// Fills each row's slot with its function exported by module; null slots
// when module is null or does not export the name.
void LookUpRows(HMODULE module, std::span<const HookRow> rows);

// Attaches (or detaches) every row whose slot is set, in one transaction
// that enlists every other thread; true when it committed, and otherwise
// nothing changed. A successful attach also keeps the modules of the
// replacements loaded until the process ends.
bool AttachRows(std::initializer_list<std::span<const HookRow>> groups);
bool DetachRows(std::initializer_list<std::span<const HookRow>> groups);

}  // namespace modroute
