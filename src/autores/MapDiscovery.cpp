#include "autores/MapDiscovery.h"

#include <algorithm>

#include "autores/ResFormat.h"
#include "common/PathText.h"
#include "resources/ResourceCategories.h"

namespace modroute {
namespace {

// An entry for the name, or nothing when its map name could not be written.
std::optional<MapEntry> EntryFor(const std::string& modFolder, const std::string& utf8Name, bool isPack,
                                 TextConverter gbkName) {
    std::string gbk = gbkName(utf8Name);
    if (gbk.empty() || gbk.size() > kMaxMapNameLength) return std::nullopt;
    MapEntry entry;
    entry.name = std::move(gbk);
    entry.utf8Name = utf8Name;
    entry.path = PathJoin(modFolder, utf8Name);
    entry.mapName = entry.name;
    entry.isPack = isPack;
    if (const std::optional<int> number = ParseSnNumber(utf8Name)) {
        entry.isSn = true;
        entry.number = *number;
    }
    return entry;
}

bool PackPassesRules(const std::string& packName, const std::string& baseName, const MapDiscoveryRules& rules,
                     const MapDiscoveryProbes& probes) {
    if (!rules.takePacks || IsReservedFolderName(baseName)) return false;
    if (rules.skipKnownGamePacks && IsKnownGameFolder(baseName)) return false;
    if (rules.packSizeLimit) {
        const std::optional<std::uint64_t> size = probes.packSize(packName);
        if (size && *size > *rules.packSizeLimit) return false;
    }
    return true;
}

}  // namespace

MapDiscoveryRules RebuildDiscovery(std::optional<std::uint64_t> packSizeLimit) {
    MapDiscoveryRules rules;
    rules.skipKnownGamePacks = true;
    rules.takePacks = packSizeLimit.has_value();
    rules.packSizeLimit = packSizeLimit;
    return rules;
}

MapDiscoveryRules AppendDiscovery() {
    MapDiscoveryRules rules;
    rules.skipKnownGamePacks = true;
    return rules;
}

std::vector<MapEntry> DiscoveredMaps::Combined() const {
    std::vector<MapEntry> combined = sn;
    combined.insert(combined.end(), other.begin(), other.end());
    return combined;
}

DiscoveredMaps DiscoverMaps(const std::string& modFolder, const ModFolderListing& listing,
                            const MapDiscoveryRules& rules, const MapDiscoveryProbes& probes) {
    DiscoveredMaps maps;
    std::vector<std::string> folderNames;
    for (const std::string& folder : listing.folders) {
        if (IsReservedFolderName(folder)) continue;
        std::optional<MapEntry> entry = EntryFor(modFolder, folder, false, probes.gbkName);
        if (!entry) continue;
        // An sn folder is a map by its name alone.
        if (!entry->isSn && !probes.isMapFolder(folder)) continue;
        folderNames.push_back(folder);
        (entry->isSn ? maps.sn : maps.other).push_back(std::move(*entry));
    }
    for (const std::string& pack : listing.packs) {
        const std::size_t dot = pack.rfind('.');
        if (dot == std::string::npos) continue;
        const std::string baseName = pack.substr(0, dot);
        if (!PackPassesRules(pack, baseName, rules, probes)) continue;
        if (std::find(folderNames.begin(), folderNames.end(), baseName) != folderNames.end()) continue;
        std::optional<MapEntry> entry = EntryFor(modFolder, baseName, true, probes.gbkName);
        if (!entry) continue;
        (entry->isSn ? maps.sn : maps.other).push_back(std::move(*entry));
    }
    SortSnEntries(maps.sn);
    SortOtherEntries(maps.other);
    return maps;
}

}  // namespace modroute
