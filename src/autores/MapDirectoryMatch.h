// The map table read back from a mod's map index: each free-named map folder
// or pack of the mod is found among the index's blocks by its name, and the
// block's key then leads to it. Pure code; the disk is reached through the
// probes of the discovery.
#pragma once

#include <vector>

#include "autores/MapDiscovery.h"
#include "autores/ResFormat.h"
#include "autores/SnDirectoryMap.h"

namespace modroute {

// Folders that are not reserved, are not named exactly like a map id and
// hold map files, then packs that are neither: each is looked up by its
// exact GBK name among the records (the first equal one wins) and maps the
// record's key to its name on disk. A later folder or pack of the same key
// replaces an earlier one.
SnDirectoryMap::Entries MatchMapDirectories(const std::vector<ResMapRecord>& records,
                                            const ModFolderListing& listing, const MapDiscoveryProbes& probes);

}  // namespace modroute
