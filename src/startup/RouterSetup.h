// Gives the redirector the context it works with, taken from the configuration.
#pragma once

#include "config/ConfigManager.h"
#include "redirect/ModRouter.h"

namespace modroute {

// The provisional context for accesses made while the library loads: the
// search list base, game; no mod yet.
RouteContext EarlyRouteContext(const ConfigManager& config);
// The full context: the selected mod's folder (when it exists), base, game,
// and the map table when AutoRes is on.
RouteContext FullRouteContext(const ConfigManager& config);

// The two steps of start-up that configure the process-wide redirector.
bool InitializeRouterEarly();
bool InitializeRouter();

}  // namespace modroute
