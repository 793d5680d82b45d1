// The game's fixed resource folder names and the tests built on them.
#pragma once

#include <string_view>

namespace modroute {

// The path's first folder (after CleanPath; the whole path when it has no
// separator) is one of the game's base resource folders, compared exactly.
bool IsBaseResourceFolder(std::string_view path);

// The folder name is one the game itself ships, compared without ASCII case.
bool IsKnownGameFolder(std::string_view folderName);

// The folder name is a game folder, "base" or "mods" and so can never be a
// map folder of a mod; compared without ASCII case.
bool IsReservedFolderName(std::string_view folderName);

}  // namespace modroute
