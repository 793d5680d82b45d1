#include "startup/ModSystem.h"

#include "config/ConfigManager.h"
#include "redirect/ModRouter.h"

namespace modroute {

bool ModSystem::EarlyInitialize() {
    // The file hooks are not part of this build yet: report that nothing was
    // installed so the caller prints its warning instead of a false success.
    return false;
}

bool ModSystem::FullInitialize() {
    if (!ConfigManager::Instance().FullInitialize()) return false;
    return ModRouter::Instance().Initialize();
}

}  // namespace modroute
