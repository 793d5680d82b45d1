// Pure tests of UTF-8 byte sequences. One scanner reads a character under one
// of a few rule sets, since the formats this system reads were judged by
// different readings of UTF-8 when they were written.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace modroute {

// Converts text between encodings; an empty result means the conversion failed.
using TextConverter = std::string (*)(std::string_view);

struct Utf8Rules {
    std::size_t longest;  // bytes of the longest character allowed: 3 or 4
    bool strict;          // no overlong forms, no surrogates, nothing above U+10FFFF
};

// Well-formed UTF-8 of one to four bytes per character.
inline constexpr Utf8Rules kWellFormedUtf8{4, true};
// Well-formed, but one to three bytes only (pack entry names).
inline constexpr Utf8Rules kShortUtf8{3, true};
// The older, narrower test names and packs were judged by: a lead C2..EF and
// continuations 80..BF, whatever they encode.
inline constexpr Utf8Rules kLegacyUtf8{3, false};
// Any lead byte with the right number of continuations (model description files).
inline constexpr Utf8Rules kLaxUtf8{4, false};

// Bytes of the character that starts at text[at] under the rules; 0 when none
// does (a stray continuation, a bad lead, a sequence cut short).
std::size_t Utf8CharacterLength(std::string_view text, std::size_t at, Utf8Rules rules);

// Whether the whole text is a sequence of such characters.
bool IsUtf8(std::string_view text, Utf8Rules rules);

inline bool IsWellFormedUtf8(std::string_view bytes) { return IsUtf8(bytes, kWellFormedUtf8); }
inline bool PassesUtf8Test(std::string_view bytes) { return IsUtf8(bytes, kLegacyUtf8); }

}  // namespace modroute
