// Pure text rules of the core settings: the ModRoute.ini reader over the
// file's bytes and the check that a selected mod names a plain folder. No
// Win32 here; conversions are passed in.
#pragma once

#include <string>
#include <string_view>

#include "common/TextLines.h"
#include "common/Utf8Text.h"

namespace modroute {

// The SelectedMod value of section [Settings] of a ModRoute.ini, given the
// whole file, in UTF-8; the last SelectedMod line wins, empty when there is
// none. A file that starts with a UTF-8 byte-order mark is UTF-8, and selects
// nothing when it is not well-formed. Any other file is taken as code page
// 936 (converted with gbkToUtf8), unless the value passes the UTF-8 test, in
// which case it is used as it is.
std::string ParseSelectedMod(std::string_view fileBytes, TextConverter gbkToUtf8);

// Whether the last Log line of [Settings] asks for the log file: "Log=1".
bool ParseLogSwitch(std::string_view fileBytes);

// True when the UTF-8 name can only mean a folder directly under mods: it is
// not empty, not "." or "..", and holds no separator or drive colon.
bool IsPlainFolderName(std::string_view utf8Name);

}  // namespace modroute
