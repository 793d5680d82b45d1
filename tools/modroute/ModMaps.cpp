#include "ModMaps.h"

#include "autores/ModFolderScan.h"

namespace modroute::tool {

DiscoveredMaps ModMaps(const std::string& modFolder, const MapDiscoveryRules& rules) {
    return DiscoverModMaps(modFolder, rules);
}

}  // namespace modroute::tool
