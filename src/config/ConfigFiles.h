// Win32 edge of the configuration readers: whole small files as bytes.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace modroute {

// Settings and description files are a few hundred bytes; anything larger
// than this is not one and is treated as unreadable rather than loaded.
constexpr std::size_t kMaxConfigFileBytes = 16u * 1024u * 1024u;

// The bytes of the file, opened through its UTF-16 form; none when it cannot be
// opened or read, or is larger than kMaxConfigFileBytes.
std::optional<std::string> ReadConfigFileUtf8Path(const std::string& utf8Path);
// The same, opened through an ANSI path.
std::optional<std::string> ReadConfigFileAnsiPath(const std::string& ansiPath);

}  // namespace modroute
