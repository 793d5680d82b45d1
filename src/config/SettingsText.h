// Pure text rules of the core settings: the ModRoute.ini reader over the
// file's bytes and the check that a selected mod names a plain folder. No
// Win32 here; conversions are passed in.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/TextLines.h"
#include "common/Utf8Text.h"

namespace modroute {

// The readings of the SelectedMod value of section [Settings] of a
// ModRoute.ini, given the whole file, in UTF-8, the preferred one first; the
// last SelectedMod line wins, and a file that selects nothing gives none. A
// file that starts with a UTF-8 byte-order mark is UTF-8, and selects nothing
// when it is not well-formed. Any other file may be either: a value that is
// well-formed UTF-8 is read as UTF-8 first and as code page 936 (converted
// with gbkToUtf8) second, when that reading differs ("雪山" saved in 936 is
// also well-formed UTF-8); any other value is code page 936.
std::vector<std::string> SelectedModReadings(std::string_view fileBytes, TextConverter gbkToUtf8);

// Whether the last Log line of [Settings] asks for the log file: "Log=1".
bool ParseLogSwitch(std::string_view fileBytes);

// True when the UTF-8 name can only mean a folder directly under mods: it is
// not empty, not "." or "..", and holds no separator or drive colon.
bool IsPlainFolderName(std::string_view utf8Name);

}  // namespace modroute
