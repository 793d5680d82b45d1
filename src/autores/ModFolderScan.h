// The disk side of map discovery: a mod folder's listing and the probes the
// discovery rules ask (map files in a folder, a pack's size, a name's GBK
// form). Paths are UTF-8 and reach the disk through UTF-16.
#pragma once

#include <string>

#include "autores/MapDiscovery.h"

namespace modroute {

// The folder holds an entry matching *.gmb, *.des, *.cob, *.pst or *.pvb.
bool IsMapFolder(const std::string& folderPath);

// The code page 936 form of a UTF-8 name, when it converts there and back
// unchanged; empty otherwise.
std::string GbkNameOf(std::string_view utf8Name);

ModFolderListing ListModFolder(const std::string& modFolder);
MapDiscoveryProbes ModFolderProbes(const std::string& modFolder);

// The maps of the mod folder on disk by the rules; sn folders keep their own
// names as map names.
DiscoveredMaps DiscoverModMaps(const std::string& modFolder, const MapDiscoveryRules& rules);

}  // namespace modroute
