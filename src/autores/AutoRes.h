// AutoRes: keeps the selected mod's map index (Tavren.res in its folder) in
// step with the maps the mod holds, and gives the map table that leads the
// game's snNN paths to the mod's free-named map folders and packs. Runs once,
// on the full initialisation's thread, before the table is published.
//
// Modes (registry value AutoRes): 0 off; 1 rebuild at every start; 2 rebuild
// when the maps changed; 3 the base index with the mod's maps appended. The
// new index is computed whole and put in place in one step, so a failure
// leaves the previous one as it was. The base folder's own index is never
// written: with "base" selected, the table is only read from it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "autores/SnDirectoryMap.h"
#include "config/CoreSettings.h"

namespace modroute {

// The index of the mod folder is missing, or lists other maps than the
// folder holds now.
bool NeedsResRebuild(const std::string& modFolder);

// Writes outputRes as the base index's header and game data followed by the
// mod's maps from number 1 (an exact copy of the base when the mod has none).
// Gives the table of the maps written, or nothing when outputRes was left as
// it was (no readable base, a base without blocks, a failed write).
std::optional<SnDirectoryMap::Entries> RebuildRes(const std::string& modFolder, const std::string& outputRes,
                                                  const std::string& baseRes, std::int32_t preloadLevel);

// Writes outputRes as the whole base index followed by the mod's maps,
// numbered after the base's own. Gives the table of the maps written, or
// nothing when outputRes was left as it was.
std::optional<SnDirectoryMap::Entries> PerformAppendMode(const std::string& modFolder, const std::string& outputRes,
                                                         const std::string& baseRes);

// The table read back from the index the mod folder holds: its free-named
// map folders and packs found among the blocks by name.
SnDirectoryMap BuildSnDirectoryMap(const std::string& modFolder);

// The AutoRes step for the selected mod of the game folder (UTF-8). Never
// throws; gives an empty table when AutoRes is off, no mod is selected or
// its folder is missing.
SnDirectoryMap RunAutoRes(const CoreSettings& settings, const std::string& gameFolder);

}  // namespace modroute
