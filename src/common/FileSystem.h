// Existence tests, folder listing and file times over Win32. Paths are UTF-8
// unless a function says otherwise; failures give false, empty or 0.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace modroute {

// A file (not a directory) exists at the UTF-8 path.
bool FileExists(std::string_view utf8Path);

// The path names a directory, tested as given and then in its code page 936 form.
bool DirectoryExists(std::string_view path);

// Names (code page 936) of the plain files directly in the folder that match
// the extension (".pvk", "pvk" or empty for all), in enumeration order.
std::vector<std::string> ListFiles(std::string_view folder, std::string_view extension);

// Last-write time in seconds since 1970-01-01 UTC; 0 when it cannot be read.
std::uint64_t GetFileTime(std::string_view utf8Path);

// Converts a FILETIME value (100 ns units since 1601) to Unix seconds; a time
// before 1970 gives 0 rather than wrapping around to the far future.
constexpr std::uint64_t FileTimeToUnixSeconds(std::uint64_t fileTime) {
    constexpr std::uint64_t kEpochDifference = 116444736000000000ULL;
    if (fileTime < kEpochDifference) return 0;
    return (fileTime - kEpochDifference) / 10000000ULL;
}

}  // namespace modroute
