// The Win32 side of the character count: lists pmodel folders through their
// UTF-8 paths (wide calls, so no name is lost to the ANSI code page).
#pragma once

#include <span>
#include <string>

namespace modroute {

// The largest character index found in any of the folders, -1 when none.
int LargestCharacterIndexInFolders(std::span<const std::string> utf8Folders);

}  // namespace modroute
