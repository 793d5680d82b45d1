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

// The blocks of the maps, one after another, numbered from firstNumber on in
// list order. A map whose name a block cannot hold gets no block and no
// number; numbering stops after 255, and the maps beyond are left out rather
// than given a number byte that wraps.
struct MapBlocks {
    std::vector<std::uint8_t> bytes;
    std::vector<NumberedMap> maps;  // the maps written, in block order
};
MapBlocks EncodeMapBlocks(const std::vector<MapEntry>& maps, int firstNumber);

// The map table for the numbered maps: key of the number -> folder or pack
// name on disk, for every map not in an sn folder (the game finds those by
// their own name).
SnDirectoryMap::Entries AssignMapDirectories(const std::vector<NumberedMap>& maps);

struct ResUpdate {
    std::vector<std::uint8_t> bytes;  // the whole new index
    SnDirectoryMap::Entries directories;
    std::vector<NumberedMap> maps;    // the maps given blocks, in block order
};

// The base index cut before its first block, count 710, then one block per
// map from number 1. A base without maps to add is kept exactly. Nothing when
// the base is shorter than the header, or holds no block to tell where its
// game data ends.
std::optional<ResUpdate> RebuildResBytes(ResBytes base, const std::vector<MapEntry>& maps);

// The base index whole, then the maps numbered after the base's own
// (stored count − 710), the count raised by the blocks added. Nothing when
// the base is shorter than the header or its count is below 710.
std::optional<ResUpdate> AppendResBytes(ResBytes base, const std::vector<MapEntry>& maps);

// Adds to the stored count of an index in memory; false, and the index
// unchanged, when it is shorter than the header or the count would leave
// 16 bits.
bool UpdateMapCountDirect(std::span<std::uint8_t> res, int added);

}  // namespace modroute
