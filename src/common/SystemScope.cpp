#include "common/SystemScope.h"

#include <windows.h>

#include <cstdint>

namespace modroute {
namespace {

// Allocated while the DLL's statics are set up, before any hook exists. The
// slot holds the nesting depth; threads start at 0.
const DWORD g_depthSlot = TlsAlloc();

std::uintptr_t Depth() {
    if (g_depthSlot == TLS_OUT_OF_INDEXES) return 0;
    // TlsGetValue clears the last-error value on success; the game must not
    // see that from a hook that did not call the real function.
    const DWORD lastError = GetLastError();
    const auto depth = reinterpret_cast<std::uintptr_t>(TlsGetValue(g_depthSlot));
    SetLastError(lastError);
    return depth;
}

void SetDepth(std::uintptr_t depth) {
    if (g_depthSlot == TLS_OUT_OF_INDEXES) return;
    const DWORD lastError = GetLastError();
    TlsSetValue(g_depthSlot, reinterpret_cast<void*>(depth));
    SetLastError(lastError);
}

}  // namespace

SystemScope::SystemScope() { SetDepth(Depth() + 1); }

SystemScope::~SystemScope() { SetDepth(Depth() - 1); }

bool SystemScope::Active() { return Depth() != 0; }

OutsideSystemScope::OutsideSystemScope() : m_depth(static_cast<unsigned long>(Depth())) { SetDepth(0); }

OutsideSystemScope::~OutsideSystemScope() { SetDepth(m_depth); }

}  // namespace modroute
