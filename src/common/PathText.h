// Pure path text rules shared by every subsystem. Paths are byte strings whose
// separators are '\' (a '/' is accepted wherever a separator is looked for).
#pragma once

#include <string>
#include <string_view>

namespace modroute {

// a, one '\' unless a already ends in a separator, then b unchanged.
std::string PathJoin(std::string_view a, std::string_view b);

// Every '/' replaced by '\'.
std::string ToBackslashes(std::string_view path);

// ToBackslashes, then doubled separators collapsed; a leading "\\" of a UNC
// path (third character not '?') is kept.
std::string CleanPath(std::string_view path);

// The text after the last separator of the cleaned path.
std::string GetFileName(std::string_view path);

// From the last '.' of the whole string to its end, dot included.
std::string GetExtension(std::string_view path);

// The last path part, cut before its last '.'.
std::string GetStem(std::string_view path);

// Position of the last '\' or '/', or npos.
std::size_t FindLastSeparator(std::string_view path);

bool IsSeparator(char c);

}  // namespace modroute
