// Puts a new map index in place in one step: the bytes are written and
// flushed under a temporary name beside the index, then moved over it. A
// reader sees the old file or the new one, never a part; a failure at any
// point leaves the old file exactly as it was and removes the temporary one.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace modroute {

// Where the new index is written before it replaces resPath.
std::string TemporaryResPath(const std::string& resPath);

// True once resPath (UTF-8) holds exactly the bytes.
bool ReplaceResFile(const std::string& resPath, std::span<const std::uint8_t> bytes);

}  // namespace modroute
