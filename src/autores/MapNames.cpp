#include "autores/MapNames.h"

#include <algorithm>

#include "common/MapId.h"

namespace modroute {

std::optional<int> ParseSnNumber(std::string_view name) {
    const std::optional<MapId> id = ReadMapId(name);
    if (!id || id->length != name.size()) return std::nullopt;
    return id->number;
}

void SortSnEntries(std::vector<MapEntry>& entries) {
    std::stable_sort(entries.begin(), entries.end(),
                     [](const MapEntry& a, const MapEntry& b) { return a.number < b.number; });
}

void SortOtherEntries(std::vector<MapEntry>& entries) {
    // std::string compares through char_traits<char>, byte for byte as unsigned.
    std::stable_sort(entries.begin(), entries.end(),
                     [](const MapEntry& a, const MapEntry& b) { return a.name < b.name; });
}

}  // namespace modroute
