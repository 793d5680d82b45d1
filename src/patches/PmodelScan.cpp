#include "patches/PmodelScan.h"

#include <windows.h>

#include <algorithm>

#include "common/PathText.h"
#include "common/TextEncoding.h"
#include "patches/CharacterCount.h"

namespace modroute {

std::vector<std::string> ListRegularFileNames(std::string_view utf8Folder) {
    std::vector<std::string> names;
    if (utf8Folder.empty()) return names;
    const std::wstring pattern = Utf8ToWide(PathJoin(utf8Folder, "*"));
    if (pattern.empty()) return names;
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW(pattern.c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) names.push_back(WideToUtf8(data.cFileName));
    } while (FindNextFileW(search, &data));
    FindClose(search);
    return names;
}

int LargestCharacterIndexInFolders(std::span<const std::string> utf8Folders) {
    int largest = -1;
    for (const std::string& folder : utf8Folders) {
        largest = std::max(largest, LargestCharacterIndex(ListRegularFileNames(folder)));
    }
    return largest;
}

}  // namespace modroute
