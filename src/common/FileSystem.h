// The system's own file access over Win32, through UTF-16 paths so that any
// folder name works, whatever the code pages can represent. Paths are UTF-8;
// failures give false, empty or 0. Every function runs inside a SystemScope,
// so the file hooks never redirect the system's own reads.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace modroute {

// A file (not a directory) exists at the path.
bool FileExists(std::string_view utf8Path);
// A directory exists at the path.
bool DirectoryExists(std::string_view utf8Path);

// Copies a file to a place where none is yet, creating the folders on the
// way; false when it cannot, or when something is already there.
bool CopyToNewPlace(std::string_view utf8From, std::string_view utf8To);

// Names (UTF-8) of the plain files directly in the folder that match the
// extension (".pvk", "pvk", or empty for all), in enumeration order; the
// match follows the file system's rules, which ignore letter case.
std::vector<std::string> ListFiles(std::string_view utf8Folder, std::string_view extension);
// Names (UTF-8) of the sub-folders directly in the folder, without "." and "..".
std::vector<std::string> ListFolders(std::string_view utf8Folder);

// The folder holds at least one entry, file or folder, whose name matches
// the wildcard pattern (for example "*.gmb"), by the file system's rules.
bool HasEntryMatching(std::string_view utf8Folder, std::string_view pattern);

// Size of a file in bytes; nothing when it cannot be read.
std::optional<std::uint64_t> FileSizeOf(std::string_view utf8Path);

// Last-write time in seconds since 1970-01-01 UTC; 0 when it cannot be read.
std::uint64_t GetFileTime(std::string_view utf8Path);

// The whole file, or nothing when it cannot be opened, cannot be read whole,
// or is larger than maxBytes. Others may keep the file open for writing.
std::optional<std::string> ReadWholeFile(std::string_view utf8Path, std::uint64_t maxBytes);

// Converts a FILETIME value (100 ns units since 1601) to Unix seconds; a time
// before 1970 gives 0 rather than wrapping around to the far future.
constexpr std::uint64_t FileTimeToUnixSeconds(std::uint64_t fileTime) {
    constexpr std::uint64_t kEpochDifference = 116444736000000000ULL;
    if (fileTime < kEpochDifference) return 0;
    return (fileTime - kEpochDifference) / 10000000ULL;
}

}  // namespace modroute
