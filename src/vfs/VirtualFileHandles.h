// Files of the virtual file system opened as virtual handles.
#pragma once

#include <windows.h>

#include <string_view>

namespace modroute {

// Opens a file of the virtual file system (UTF-8 path); INVALID_HANDLE_VALUE
// when the file system cannot supply it. The handle reads the file system's
// own bytes: nothing is copied.
HANDLE CreateVirtualFileHandle(std::string_view utf8Path);

}  // namespace modroute
