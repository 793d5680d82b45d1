#include "startup/ModSystem.h"

#include "common/SystemScope.h"
#include "config/ConfigManager.h"
#include "hooks/HookManager.h"
#include "startup/RouterSetup.h"

namespace modroute {

bool ModSystem::EarlyInitialize() { return HookManager::Install(); }

bool ModSystem::FullInitialize() {
    const SystemScope scope;
    if (!ConfigManager::Instance().FullInitialize()) return false;
    return InitializeRouter();
}

}  // namespace modroute
