// Pure text rules of path redirection over UTF-8 paths: the canonical form of
// a game path, the game-root files, special files and the map-id rewrite.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace modroute {

// Canonical form of a relative game path: '/' to '\', a leading ".\" or '\'
// dropped, a leading ".." not followed by '\' dropped, doubled backslashes
// collapsed, and no separator left at the start (".\\x" is "x", not the
// root's "\x"). Case stays. Absolute paths (IsAbsolutePath) are not given here.
std::string NormalizePath(std::string_view path);
// The same into out, which has room for path.size() bytes; gives the length.
// Resolution runs on every file access of the game: no allocation here.
std::size_t NormalizePathInto(std::string_view path, char* out);

// The file name (after the last separator) is one of the game-root files
// that are always used from the game folder.
bool IsRootFile(std::string_view path);

// Map files that prefer the mod and base folders over the game folder.
bool IsSpecialFile(std::string_view path);

// Position of the map id ("sn" in any letter case, followed by two
// characters) in a path, when four characters follow from it; npos otherwise.
std::size_t FindMapId(std::string_view path);

// Looks an upper-case map key (SN07) up; gives the map's directory (UTF-8).
using MapDirectoryLookup = std::function<std::optional<std::string>(std::string_view key)>;

// Rewrites a clean path whose map id names a whole folder (sn01\x) or the
// map's pack (sn01.pak) to the mapped directory; a file named after the id
// takes the directory's name too. Gives nothing when no rewrite applies.
std::optional<std::string> RewriteMapPath(const std::string& clean, const MapDirectoryLookup& lookup);

// The directory search pattern with its last "\snNN" (or "/snNN") folder
// replaced by the directory mapped for SNNN; nothing when none applies.
std::optional<std::string> RewriteMapFolderInPattern(const std::string& pattern, const MapDirectoryLookup& lookup);

}  // namespace modroute
