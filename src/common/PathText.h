// Pure rules for paths in UTF-8, the system's own encoding. Separators are
// '\' (a '/' is accepted wherever a separator is looked for). UTF-8 bytes of
// non-ASCII characters are all 0x80 or above, so a byte scan for separators,
// dots or ASCII letters is safe here -- unlike in code page 936 text
// (see GbkText.h).
#pragma once

#include <string>
#include <string_view>

namespace modroute {

// a, one '\' unless a already ends in a separator, then b unchanged.
std::string PathJoin(std::string_view a, std::string_view b);

// Every '/' replaced by '\'.
std::string ToBackslashes(std::string_view path);

// ToBackslashes, then every run of separators collapsed to one '\', except
// that a UNC path (two or more leading separators, then a character other
// than '?') starts with exactly two.
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

// Starts with two separators (UNC, device, long-path prefixes) or has a
// drive colon second: never relative to a search folder.
bool IsAbsolutePath(std::string_view path);

// ASCII letters only; other bytes stay. The one case fold of the system.
constexpr char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
constexpr char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
std::string ToLowerAscii(std::string_view text);
std::string ToUpperAscii(std::string_view text);
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);
// Case-insensitive (ASCII) substring test without copying; the needle is lower case.
bool ContainsIgnoringCase(std::string_view text, std::string_view lowerNeedle);

}  // namespace modroute
