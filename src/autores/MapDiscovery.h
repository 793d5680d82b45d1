// Which folders and packs of a mod folder are maps, from the folder's listing:
// sn folders are taken as they are, other folders only when they hold map
// files, packs by the filters of the operation that asks. The disk is reached
// only through the probes passed in, so the rules are pure code.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "autores/MapNames.h"
#include "common/Utf8Text.h"

namespace modroute {

// The filters that differ between the rebuild and the append mode. Folders
// are filtered alike by both.
struct MapDiscoveryRules {
    bool takePacks = true;
    bool skipKnownGamePacks = false;             // Tavren.pvk, common.pvk, ...
    std::optional<std::uint64_t> packSizeLimit;  // larger packs are skipped; unreadable sizes pass
};

// Packs up to the size limit; none without one.
MapDiscoveryRules RebuildDiscovery(std::optional<std::uint64_t> packSizeLimit);
MapDiscoveryRules AppendDiscovery();

// What a mod folder holds, names as the disk spells them (UTF-8), in listing order.
struct ModFolderListing {
    std::vector<std::string> folders;  // sub-folders, without "." and ".."
    std::vector<std::string> packs;    // plain files matching *.pvk
};

struct MapDiscoveryProbes {
    // The folder (by name) holds a .gmb, .des, .cob, .pst or .pvb entry.
    std::function<bool(const std::string& folderName)> isMapFolder;
    // The pack's size in bytes, nothing when it cannot be read.
    std::function<std::optional<std::uint64_t>(const std::string& packName)> packSize;
    // A name's exact code page 936 form; empty when it has none.
    TextConverter gbkName;
};

struct DiscoveredMaps {
    std::vector<MapEntry> sn;     // ascending map number
    std::vector<MapEntry> other;  // ascending GBK name
    // The sn list, then the other list: the order of the map numbers.
    std::vector<MapEntry> Combined() const;
};

// The maps of a mod folder. A folder or pack whose name has no code page 936
// form of 1 to 63 bytes is no map: a block could not hold its name, or the
// map table could never find it again by that name. A pack named like a
// folder already taken is left out. Each entry's map name is its own name;
// callers that read sn folders' description files replace it.
DiscoveredMaps DiscoverMaps(const std::string& modFolder, const ModFolderListing& listing,
                            const MapDiscoveryRules& rules, const MapDiscoveryProbes& probes);

}  // namespace modroute
