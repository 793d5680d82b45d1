// Pure text rules of path redirection over UTF-8 paths: the canonical form of
// a game path, the game-root files, special files and the map-id rewrite.
#pragma once

#include <cstdint>
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

// A map's render.json: looked up under the map's folder in the mod, base and
// game folders, whatever folder the request names.
bool IsRenderJson(std::string_view utf8Path);

// What an open does to the file it names. Only a read is resolved: whatever
// the game writes goes where it asked, so no mod's or base's file ever
// changes. An update writes into what is there (the mod's or base's copy is
// first copied into the game folder, as the game expects to find it); a
// replace starts the file afresh.
enum class OpenIntent { Read, Update, Replace };
// CreateFile's access mask and disposition: a read asks for no right that
// writes, appends, deletes or changes attributes, security or ownership, and
// creates nothing it would not have found (OPEN_EXISTING, OPEN_ALWAYS).
OpenIntent IntentOfAccess(std::uint32_t access, std::uint32_t disposition);
// The run-time library's fopen mode ("rb", "r+", "a", "wt", ...).
OpenIntent IntentOfMode(std::string_view mode);
// The run-time library's _open flags.
OpenIntent IntentOfFlags(int flags);
// Script files (.as) are the game's own business: never redirected.
bool IsScriptFile(std::wstring_view request);
// A redirected picture (.jpg) that is read is loaded whole into memory, as
// the game reads it in many small pieces.
bool IsReadWhole(std::string_view utf8Path);

// Position of the first map id in a path ("sn" in any letter case and the
// digits the game writes for 1..255, no digit after them: sn07, sn100; see
// MapId.h); npos when there is none.
std::size_t FindMapId(std::string_view path);
// The id at that position in upper case (SN07, SN100): the map table's key.
std::string MapIdKeyAt(std::string_view path, std::size_t position);

// Looks an upper-case map key (SN07) up; gives the map's directory (UTF-8).
using MapDirectoryLookup = std::function<std::optional<std::string>(std::string_view key)>;

// Rewrites a clean path whose map id names a whole folder (sn01\x) or the
// map's pack (sn01.pak) to the mapped directory; a file named after the id
// takes the directory's name too. Gives nothing when no rewrite applies.
std::optional<std::string> RewriteMapPath(const std::string& clean, const MapDirectoryLookup& lookup);

// For a map's own file named after its id (maps\sn07.wp, x\sn07_.pst: the
// file name starts with the id, then '.' or '_'), the path with the id in the
// file name replaced by the mapped directory. Only the file name is looked
// at: a folder before it was rewritten already and may hold "sn" itself.
std::optional<std::string> MapFileCandidate(const std::string& clean, const MapDirectoryLookup& lookup);

// The directory search pattern with its last folder named exactly like a map
// id (sn07\*, maps/sn100\*.txt) replaced by the directory mapped for its key;
// nothing when none applies.
std::optional<std::string> RewriteMapFolderInPattern(const std::string& pattern, const MapDirectoryLookup& lookup);

}  // namespace modroute
