#include "resources/ResourceCategories.h"

#include <array>
#include <string>

#include "common/PathText.h"
#include "resources/GameNames.h"

namespace modroute {
namespace {

template <std::size_t N>
bool TableHolds(const std::array<std::string_view, N>& table, std::string_view name) {
    for (const std::string_view entry : table) {
        if (EqualsIgnoringAsciiCase(entry, name)) return true;
    }
    return false;
}

}  // namespace

bool IsBaseResourceFolder(std::string_view path) {
    const std::string cleaned = CleanPath(path);
    const std::string_view first = std::string_view(cleaned).substr(0, cleaned.find('\\'));
    for (const std::string_view entry : kBaseResourceFolders) {
        if (entry == first) return true;
    }
    return false;
}

bool IsKnownGameFolder(std::string_view folderName) { return TableHolds(kKnownGameFolders, folderName); }

bool IsReservedFolderName(std::string_view folderName) {
    return TableHolds(kReservedFolderNames, folderName);
}

}  // namespace modroute
