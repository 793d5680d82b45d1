// The Win32 side of the character count: lists pmodel folders through their
// UTF-8 paths (wide calls, so no name is lost to the ANSI code page).
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace modroute {

// UTF-8 names of the files (not folders) directly in the folder, in
// enumeration order; empty when the folder does not exist.
std::vector<std::string> ListRegularFileNames(std::string_view utf8Folder);

// The largest character index found in any of the folders, -1 when none.
int LargestCharacterIndexInFolders(std::span<const std::string> utf8Folders);

}  // namespace modroute
