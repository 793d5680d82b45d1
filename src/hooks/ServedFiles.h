// What an open of a game path serves, for the hooks that describe files
// without opening them (attribute queries and directory searches), and the
// error of one that serves nothing.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "redirect/RouteContext.h"

namespace modroute {

// The attributes, times and size of the file that an open of a game path
// (UTF-8, relative to the game folder) serves from a pack, the mod, base or
// the game folder; nothing when the open would take the caller's own path.
std::optional<WIN32_FILE_ATTRIBUTE_DATA> ServedFileData(const std::string& utf8Path);

// What a virtual handle's file looks like (UTF-8: a path of the virtual
// file system, or a disk file read whole): its attributes and times, and the
// disk file holding it (the pack, or the file itself).
struct OpenedFileData {
    WIN32_FILE_ATTRIBUTE_DATA data;
    std::string host;
};
std::optional<OpenedFileData> DataOfOpenedFile(const std::string& utf8Path);

// The error of a failed look-up of a request found nowhere: a missing file
// in a folder that only the mod, base or a pack supply is a missing file
// (ERROR_FILE_NOT_FOUND), as with those files copied over the game folder,
// not a missing path. Any other error stays.
DWORD MissingFileError(const Resolution* answer, DWORD error);

}  // namespace modroute
