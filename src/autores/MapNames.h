// Names of map candidates in a mod folder: the sn numbering rule (sn07 is map
// 7 of the game's own numbering) and the order in which AutoRes lists maps.
// Pure code; map names are GBK bytes, as the map index stores them, and
// compare byte for byte.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace modroute {

// One map found in the mod folder: a folder, or a pack file without ".pvk".
struct MapEntry {
    std::string name;     // folder name or pack base name, GBK
    std::string utf8Name; // the same name as the disk spells it
    std::string path;     // mod folder + \ + name, UTF-8
    std::string mapName;  // the name written into the map block
    bool isSn = false;    // ParseSnNumber(name) gave a number
    int number = 0;       // that number, 1..255
    bool isPack = false;  // found as a .pvk file
};

// The map number of an sn name: at least 4 bytes, "sn" in either case, then
// text read the way strtol reads a decimal number (leading white space and a
// sign allowed, reading stops at the first non-digit) giving 1..255. Nothing
// for an ordinary name.
std::optional<int> ParseSnNumber(std::string_view name);

// At least 4 bytes starting with "sn" in either case, whatever follows:
// such a name is never entered into the SN directory map.
bool HasSnPrefix(std::string_view name);

// Ascending map number; entries of equal number keep their order.
void SortSnEntries(std::vector<MapEntry>& entries);
// Ascending byte-wise name (bytes as unsigned); equal names keep their order.
void SortOtherEntries(std::vector<MapEntry>& entries);

}  // namespace modroute
