#include "common/HookCall.h"

#include <atomic>

namespace modroute {
namespace {

std::atomic<bool> g_passEverything{false};
std::atomic<long> g_inProgress{0};

}  // namespace

bool MustPassThrough() { return g_passEverything.load(std::memory_order_acquire) || SystemScope::Active(); }

void PassEverythingThrough() { g_passEverything.store(true, std::memory_order_release); }

long HookCallsInProgress() { return g_inProgress.load(std::memory_order_acquire); }

HookCall::HookCall() : m_lastError(GetLastError()) { g_inProgress.fetch_add(1, std::memory_order_acq_rel); }

HookCall::~HookCall() { g_inProgress.fetch_sub(1, std::memory_order_acq_rel); }

}  // namespace modroute
