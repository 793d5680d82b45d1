#include "common/SystemScope.h"

#include <cstdint>

#include "common/TlsSlot.h"

namespace modroute {
namespace {

// Taken while the DLL's statics are set up, before any hook exists. The slot
// holds the nesting depth; threads start at 0.
const TlsSlot g_depthSlot;

std::uintptr_t Depth() { return reinterpret_cast<std::uintptr_t>(g_depthSlot.Get()); }

void SetDepth(std::uintptr_t depth) { g_depthSlot.Set(reinterpret_cast<void*>(depth)); }

}  // namespace

SystemScope::SystemScope() { SetDepth(Depth() + 1); }

SystemScope::~SystemScope() { SetDepth(Depth() - 1); }

bool SystemScope::Active() { return Depth() != 0; }

OutsideSystemScope::OutsideSystemScope() : m_depth(static_cast<unsigned long>(Depth())) { SetDepth(0); }

OutsideSystemScope::~OutsideSystemScope() { SetDepth(m_depth); }

}  // namespace modroute
