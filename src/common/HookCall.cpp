#include "common/HookCall.h"

#include <atomic>

namespace modroute {
namespace {

std::atomic<bool> g_passEverything{false};

}  // namespace

bool MustPassThrough() { return g_passEverything.load(std::memory_order_acquire) || SystemScope::Active(); }

void PassEverythingThrough() { g_passEverything.store(true, std::memory_order_release); }

}  // namespace modroute
