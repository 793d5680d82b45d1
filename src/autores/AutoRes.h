// AutoRes: keeps the selected mod's map index (Tavren.res in its folder) in
// step with the maps the mod holds, and gives the map table that leads the
// game's snNN paths to the mod's free-named map folders and packs. Runs once,
// on the full initialisation's thread, before the table is published.
//
// Modes (registry value AutoRes): 0 off; 1 and 2 the base index's game data
// with the mod's maps; 3 the base index with the mod's maps appended. Each
// start computes the whole index its mode stands for and writes it only when
// the file holds other bytes, so 1 and 2 differ in name only; it is put in
// place in one step, and a failure leaves the previous one as it was. The base folder's own index is never
// written: with "base" selected, the table is only read from it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "autores/ResRebuild.h"
#include "autores/SnDirectoryMap.h"

namespace modroute {

// The table read back from the index the mod folder holds, when no index of
// its own can be computed: its free-named map folders and packs found among
// the blocks by name.
SnDirectoryMap BuildSnDirectoryMap(const std::string& modFolder);

// The settings the AutoRes step reads.
struct AutoResSettings {
    std::uint32_t mode = 0;  // 0 off, 1 rebuild, 2 rebuild on change, 3 append
    std::string selectedMod;  // UTF-8, empty = none
    // Map packs a rebuild takes: up to this size (the preload limit of the
    // packs setting); none without one.
    std::optional<std::uint64_t> packSizeLimit;
};

// What the AutoRes step does with the selected mod.
enum class AutoResStep {
    Off,           // AutoRes is 0, or no mod is selected
    NoModFolder,   // the selected mod's folder does not exist
    BaseSelected,  // "base" is selected: its index is only read
    UpToDate,      // the index already holds the bytes its mode stands for
    Rebuild,       // mode 1 or 2, and the index differs
    Append,        // mode 3, and the index differs
};

// The AutoRes step worked out whole, before anything is written: the new
// index and the map table that goes with it.
struct AutoResPlan {
    AutoResStep step = AutoResStep::Off;
    std::string modFolder;  // empty when Off
    std::string outputRes;  // the mod's index
    std::string baseRes;    // the index a rebuild or an append starts from
    // The new contents of outputRes; nothing when no index is to be written,
    // also when the base index cannot be read or gives no place to start.
    std::optional<ResUpdate> update;
    // The table of the index computed (published once it is in place, or
    // at once when the file holds it already); when none can be computed,
    // the table read back from the index the mod folder holds now.
    SnDirectoryMap table;
};

// Reads the folders and indexes the step would read; writes nothing.
AutoResPlan PlanAutoRes(const AutoResSettings& settings, const std::string& gameFolder);

// The AutoRes step for the selected mod of the game folder (UTF-8): the plan,
// carried out. Never throws; gives an empty table when AutoRes is off, no mod
// is selected or its folder is missing, and the table of the index the mod
// keeps when the new one cannot be put in place.
SnDirectoryMap RunAutoRes(const AutoResSettings& settings, const std::string& gameFolder);

}  // namespace modroute
