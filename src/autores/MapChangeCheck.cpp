#include "autores/MapChangeCheck.h"

namespace modroute {

std::vector<std::string> IndexedMapNames(const std::vector<ResMapRecord>& records,
                                         const std::function<bool(const std::string& recordKey)>& snFolderExists) {
    DiscoveredMaps indexed;
    for (const ResMapRecord& record : records) {
        MapEntry entry;
        entry.number = record.number;
        entry.isSn = snFolderExists(record.key);
        entry.name = entry.isSn ? record.key : record.internalName;
        (entry.isSn ? indexed.sn : indexed.other).push_back(std::move(entry));
    }
    SortSnEntries(indexed.sn);
    SortOtherEntries(indexed.other);
    return MapNamesInOrder(indexed);
}

std::vector<std::string> MapNamesInOrder(const DiscoveredMaps& maps) {
    std::vector<std::string> names;
    for (const MapEntry& entry : maps.Combined()) names.push_back(entry.name);
    return names;
}

}  // namespace modroute
