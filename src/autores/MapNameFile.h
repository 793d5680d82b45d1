// The map name of a map folder on disk, from its model description file.
#pragma once

#include <optional>
#include <string>

namespace modroute {

// The description file a map folder's name is read from: folder\<folder>.des,
// else the first *.des the listing returns; nothing when it has neither.
std::optional<std::string> MapDescriptionFile(const std::string& folderPath);

// Reads folder\<folder>.des, else the first *.des the listing returns, and
// gives the name it holds (GBK), or fallbackName when there is no such file,
// it cannot be read, or yields no name a map block can hold. The folder path
// is UTF-8; fallbackName is the folder's name in GBK.
std::string ExtractMapName(const std::string& folderPath, const std::string& fallbackName);

}  // namespace modroute
