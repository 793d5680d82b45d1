#include "autores/MapDirectoryMatch.h"

#include <algorithm>
#include <string>

#include "resources/ResourceCategories.h"

namespace modroute {
namespace {

// Maps the first record named like the candidate; a name without a GBK form
// is never one a block holds.
void MapByName(const std::vector<ResMapRecord>& records, const std::string& utf8Name, TextConverter gbkName,
               SnDirectoryMap::Entries& directories) {
    const std::string gbk = gbkName(utf8Name);
    if (gbk.empty()) return;
    const auto record = std::find_if(records.begin(), records.end(),
                                     [&gbk](const ResMapRecord& r) { return r.internalName == gbk; });
    if (record != records.end()) directories[FormatMapKey(record->number)] = utf8Name;
}

}  // namespace

SnDirectoryMap::Entries MatchMapDirectories(const std::vector<ResMapRecord>& records,
                                            const ModFolderListing& listing, const MapDiscoveryProbes& probes) {
    SnDirectoryMap::Entries directories;
    for (const std::string& folder : listing.folders) {
        if (IsReservedFolderName(folder) || ParseSnNumber(folder) || !probes.isMapFolder(folder)) continue;
        MapByName(records, folder, probes.gbkName, directories);
    }
    for (const std::string& pack : listing.packs) {
        const std::size_t dot = pack.rfind('.');
        if (dot == std::string::npos) continue;
        const std::string baseName = pack.substr(0, dot);
        if (ParseSnNumber(baseName) || IsReservedFolderName(baseName)) continue;
        // A pack named like a mapped folder finds the folder's record again:
        // the same key keeps the same name.
        MapByName(records, baseName, probes.gbkName, directories);
    }
    return directories;
}

}  // namespace modroute
