// The new contents of a mod's map index, computed whole from the base index
// and the mod's maps before anything is written: the rebuild keeps the base
// index's header and game data and lists the mod's maps only; the append
// mode keeps the base index whole and adds the mod's maps after its own.
// The stored count always equals 710 + the blocks the file holds (as the
// base counts its own). Pure code.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "autores/MapNames.h"
#include "autores/ResFormat.h"
#include "autores/SnDirectoryMap.h"

namespace modroute {

// A map and the number its block carries.
struct NumberedMap {
    int number = 0;
    MapEntry entry;
};

// The numbers of the maps. A map in an sn folder or pack keeps its own
// number, the one its snNN paths name, unless that number is already held
// (by the base index in append mode, or by an earlier map of the list);
// then it is left out, as the game reaches its files under snNN anyway.
// Every other map then takes the lowest number nobody holds, in list order.
// A map whose name a block cannot hold takes no number, and maps beyond 255
// are left out rather than given a number byte that wraps. In ascending
// number order.
std::vector<NumberedMap> NumberMaps(const std::vector<MapEntry>& maps, const std::vector<int>& heldNumbers);

// The blocks of the numbered maps, one after another, in their order.
std::vector<std::uint8_t> EncodeMapBlocks(const std::vector<NumberedMap>& maps);

// The map table for the numbered maps: key of the number -> folder or pack
// name on disk, for every map not named exactly like its id (the game finds
// those by their own name).
SnDirectoryMap::Entries AssignMapDirectories(const std::vector<NumberedMap>& maps);

struct ResUpdate {
    std::vector<std::uint8_t> bytes;  // the whole new index
    SnDirectoryMap::Entries directories;
    std::vector<NumberedMap> maps;    // the maps given blocks, in block order
};

// The base index cut before its first block, count 710, then one block per
// map, numbered by NumberMaps. A base without maps to add is kept exactly. Nothing when
// the base is shorter than the header, or holds no block to tell where its
// game data ends.
std::optional<ResUpdate> RebuildResBytes(ResBytes base, const std::vector<MapEntry>& maps);

// The base index whole, then the maps numbered by NumberMaps around the
// numbers the base holds (those of its blocks, and 1 up to its stored count
// − 710), the count raised by the blocks added. Nothing when
// the base is shorter than the header or its count is below 710.
std::optional<ResUpdate> AppendResBytes(ResBytes base, const std::vector<MapEntry>& maps);

// Adds to the stored count of an index in memory; false, and the index
// unchanged, when it is shorter than the header or the count would leave
// 16 bits.
bool UpdateMapCountDirect(std::span<std::uint8_t> res, int added);

}  // namespace modroute
