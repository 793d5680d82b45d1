// Pure tests of UTF-8 byte sequences.
#pragma once

#include <string>
#include <string_view>

namespace modroute {

// Converts text between encodings; an empty result means the conversion failed.
using TextConverter = std::string (*)(std::string_view);

// Well-formed UTF-8 of one to four bytes per character (no overlong forms, no
// surrogates, nothing above U+10FFFF).
bool IsWellFormedUtf8(std::string_view bytes);

// The older, narrower test names and packs were judged by: ASCII and one- to
// three-byte sequences (lead C2..DF or E0..EF, continuations 80..BF). A
// four-byte sequence does not pass.
bool PassesUtf8Test(std::string_view bytes);

}  // namespace modroute
