// The maps of a mod folder on disk, for files that also see the mod index's
// probe class (whose name the map scan's probe function shares).
#pragma once

#include <string>

#include "autores/MapDiscovery.h"

namespace modroute::tool {

DiscoveredMaps ModMaps(const std::string& modFolder, const MapDiscoveryRules& rules);

}  // namespace modroute::tool
