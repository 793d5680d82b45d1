#include "patches/PmodelScan.h"

#include <algorithm>

#include "common/FileSystem.h"
#include "patches/CharacterCount.h"

namespace modroute {

int LargestCharacterIndexInFolders(std::span<const std::string> utf8Folders) {
    int largest = -1;
    for (const std::string& folder : utf8Folders) {
        if (!folder.empty()) largest = std::max(largest, LargestCharacterIndex(ListFiles(folder, "")));
    }
    return largest;
}

}  // namespace modroute
