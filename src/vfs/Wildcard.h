// Matching of a file name against a directory search pattern, the way the
// system's FindFirstFileA matches names on disk, so virtual files and real
// ones answer a search alike. Pure code over UTF-8.
#pragma once

#include <string_view>

namespace modroute {

// True when name matches pattern:
// - '*' matches any run of characters, the empty one included;
// - '?' matches exactly one character (a whole UTF-8 sequence);
// - a '.' directly followed by '*' may also stand for the end of the name,
//   so "*.*" matches every name and "a.*" matches "a";
// - trailing dots and spaces of the pattern are dropped, as path
//   normalisation drops them ("a." matches "a"), except from a pattern made
//   of nothing else, which stays as it is ("." and ".." name themselves);
// - every other character matches itself, ASCII letters without regard to
//   case; a pattern without wildcards thus names a file as the file system
//   does (only ASCII letters are folded).
// Runs in O(name length * pattern length) at worst.
bool WildcardMatch(std::string_view name, std::string_view pattern);

}  // namespace modroute
