// Pure text rules of the core settings: the ModRoute.ini reader over the
// file's bytes, the UTF-8 test of the selected mod name and the check that a
// selected mod names a plain folder. No Win32 here; conversions are passed in.
#pragma once

#include <string>
#include <string_view>

namespace modroute {

// Converts text between encodings; an empty result means the conversion failed.
using TextConverter = std::string (*)(std::string_view);

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
// whole file. A leading UTF-8 byte-order mark makes the rest UTF-8, which
// utf8ToAnsi turns into code page 936; without it the bytes are used as they
// are. The last SelectedMod line wins; empty when there is none.
std::string ParseSelectedMod(std::string_view fileBytes, TextConverter utf8ToAnsi);

// True when the bytes are plain ASCII or well-formed one- to three-byte UTF-8
// sequences (four-byte sequences do not pass).
bool PassesUtf8Test(std::string_view bytes);

// True when the UTF-8 name can only mean a folder directly under mods: it is
// not empty, not "." or "..", and holds no separator or drive colon.
bool IsPlainFolderName(std::string_view utf8Name);

}  // namespace modroute
