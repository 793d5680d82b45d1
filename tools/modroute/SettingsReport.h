// The settings a game starts with, as ModRoute reads them, each with where
// its value came from: ModRoute.ini, the manager program's registry values,
// or the default when there is nothing (or nothing usable) to read.
#pragma once

#include "config/ConfigManager.h"

namespace modroute::tool {

void ReportSettings(const ConfigManager& config);

}  // namespace modroute::tool
