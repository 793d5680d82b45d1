#include "resources/ResourceCategories.h"

#include <array>
#include <string>

#include "common/PathText.h"

namespace modroute {
namespace {

constexpr std::array<std::string_view, 21> kBaseResourceFolders = {
    "AsScripts", "cmodel", "Common",   "image",    "Level",        "mc",        "mmv",
    "music",     "Patch",  "pmodel",   "PScriptLib", "SFX",        "texture",   "UserData",
    "Waves",     "ctexture", "ETexture", "ptexture", "TexturePatch", "UITexture", "waves",
};

constexpr std::array<std::string_view, 21> kKnownGameFolders = {
    "cmodel",   "common",   "image",        "level",     "mc",     "mmv",       "music",
    "patch",    "pmodel",   "pscriptlib",   "ptexture",  "sfx",    "texture",   "ctexture",
    "ETexture", "TexturePatch", "UITexture", "waves",    "Tavren", "AsScripts", "ddfix_assets",
};

constexpr std::array<std::string_view, 24> kReservedFolderNames = {
    "cmodel",   "pmodel",   "Common",       "image",     "mc",        "mmv",     "music",     "Patch",
    "PScriptLib", "SFX",    "texture",      "ctexture",  "ETexture",  "ptexture", "TexturePatch", "UITexture",
    "UserData", "Waves",    "waves",        "Level",     "AsScripts", "ddfix_assets", "base", "mods",
};

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
