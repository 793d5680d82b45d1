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
    bool isSn = false;    // ParseSnNumber(name) gave a number: the map keeps it
    int number = 0;       // that number, 1..255
    bool isPack = false;  // found as a .pvk file
};

// The map number of an sn name: a name that is exactly a map id (sn07, SN07,
// sn100; see MapId.h), which the game's snNN paths reach without any
// rewrite. Nothing for any other name, also one that merely starts with an
// id (a copy named "sn01 - copy" is a free-named map).
std::optional<int> ParseSnNumber(std::string_view name);

// Ascending map number; entries of equal number keep their order.
void SortSnEntries(std::vector<MapEntry>& entries);
// Ascending byte-wise name (bytes as unsigned); equal names keep their order.
void SortOtherEntries(std::vector<MapEntry>& entries);

}  // namespace modroute
