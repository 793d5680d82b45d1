#include "startup/ModSystem.h"

#include "common/SystemScope.h"
#include "config/ConfigManager.h"
#include "hooks/HookManager.h"
#include "startup/RouterSetup.h"

namespace modroute {

bool ModSystem::EarlyInitialize() { return HookManager::Install(); }

bool ModSystem::FullInitialize() {
    const SystemScope scope;
    ConfigManager& config = ConfigManager::Instance();
    if (!config.FullInitialize()) return false;
    const bool routerReady = InitializeRouter();
    // For tools that show the mod's rules; the game never waits for them.
    config.LoadSelectedModResourceRules();
    return routerReady;
}

}  // namespace modroute
