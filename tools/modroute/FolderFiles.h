// The files below a folder, with their paths relative to it, in a fixed
// order (the same folder always lists the same way).
#pragma once

#include <string>
#include <vector>

namespace modroute::tool {

struct FolderFile {
    std::string relative;  // UTF-8, backslashes
    std::string directory;
    std::string name;
    std::string path;
};

std::vector<FolderFile> FilesBelow(const std::string& folder);

}  // namespace modroute::tool
