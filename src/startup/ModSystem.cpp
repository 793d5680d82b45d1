#include "startup/ModSystem.h"

#include "common/SystemScope.h"
#include "config/ConfigManager.h"
#include "startup/RouterSetup.h"

namespace modroute {

bool ModSystem::EarlyInitialize() {
    // The file hooks are not part of this build yet: report that nothing was
    // installed so the caller prints its warning instead of a false success.
    return false;
}

bool ModSystem::FullInitialize() {
    const SystemScope scope;
    if (!ConfigManager::Instance().FullInitialize()) return false;
    return InitializeRouter();
}

}  // namespace modroute
