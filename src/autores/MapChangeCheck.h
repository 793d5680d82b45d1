// Whether a mod's map index still lists the maps the mod holds: the names of
// the maps found now against the names the index's blocks stand for. A block
// whose key names an existing sn folder stands for that folder (sn07), any
// other block for its map name. Pure code.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "autores/MapDiscovery.h"
#include "autores/ResFormat.h"

namespace modroute {

// The names of the index: blocks of sn folders by ascending number, then the
// others by ascending name. snFolderExists is asked with a record key (sn07).
std::vector<std::string> IndexedMapNames(const std::vector<ResMapRecord>& records,
                                         const std::function<bool(const std::string& recordKey)>& snFolderExists);

// The names of the maps in number order: the sn list, then the other list (GBK).
std::vector<std::string> MapNamesInOrder(const DiscoveredMaps& maps);

}  // namespace modroute
