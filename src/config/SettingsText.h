// Pure text rules of the core settings: the ModRoute.ini reader over the
// file's bytes and the check that a selected mod names a plain folder. No
// Win32 here; conversions are passed in.
#pragma once

#include <string>
#include <string_view>

#include "common/Utf8Text.h"

namespace modroute {

// The blanks of the description and settings files: spaces and tabs only.
std::string_view TrimBlanks(std::string_view text);

// Calls visit for each line of text (split at line feeds), with one trailing
// carriage return removed.
template <typename Visit>
void ForEachTextLine(std::string_view text, Visit visit) {
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        visit(line);
        start = end + 1;
    }
}

// The SelectedMod value of section [Settings] of a ModRoute.ini, given the
// whole file, in UTF-8; the last SelectedMod line wins, empty when there is
// none. A file that starts with a UTF-8 byte-order mark is UTF-8, and selects
// nothing when it is not well-formed. Any other file is taken as code page
// 936 (converted with gbkToUtf8), unless the value passes the UTF-8 test, in
// which case it is used as it is.
std::string ParseSelectedMod(std::string_view fileBytes, TextConverter gbkToUtf8);

// True when the UTF-8 name can only mean a folder directly under mods: it is
// not empty, not "." or "..", and holds no separator or drive colon.
bool IsPlainFolderName(std::string_view utf8Name);

}  // namespace modroute
