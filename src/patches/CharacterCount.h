// How many characters the game can page through: the largest index among the
// character model files (pmodel\p<index>[_<anything>].<ext>) plus one. Names
// and paths are UTF-8. Pure; PmodelScan lists the folders.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace modroute {

// The index a file name stands for: at least 5 characters, 'p' or 'P', a
// digit second, a '.' somewhere; the stem before the first '.' without its
// first character, cut at its first '_', must be all digits (and fit an int).
std::optional<int> CharacterIndexOf(std::string_view utf8FileName);

// The largest index among the names, -1 when none stands for a character.
int LargestCharacterIndex(std::span<const std::string> utf8FileNames);

// Largest index + 1, at least 1.
int CharacterCountFromLargestIndex(int largestIndex);

// The pmodel folders that hold characters, in the order they are counted:
// the game folder's, the base folder's, and the selected mod's unless no mod
// or "base" is selected. An empty game or base folder contributes nothing.
std::vector<std::string> PmodelFolders(std::string_view utf8GameFolder, std::string_view utf8BaseFolder,
                                       std::string_view utf8SelectedMod);

}  // namespace modroute
