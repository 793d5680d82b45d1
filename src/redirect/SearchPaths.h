// The search folder list, highest priority first.
#pragma once

#include <string>

#include "redirect/RouteContext.h"

namespace modroute {

// The selected mod's folder when it exists, then base, then game; a folder
// that appears twice keeps its first place.
SearchPathList BuildSearchPaths(const std::string& modFolder, bool modFolderExists, const std::string& baseFolder,
                                const std::string& gameFolder);

}  // namespace modroute
