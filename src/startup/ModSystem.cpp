#include "startup/ModSystem.h"

#include "config/ConfigManager.h"

namespace modroute {

bool ModSystem::EarlyInitialize() {
    // The file hooks are not part of this build yet: report that nothing was
    // installed so the caller prints its warning instead of a false success.
    return false;
}

bool ModSystem::FullInitialize() {
    if (!ConfigManager::Instance().FullInitialize()) return false;
    // The redirector's full search path is built here once it is part of the build.
    return true;
}

}  // namespace modroute
