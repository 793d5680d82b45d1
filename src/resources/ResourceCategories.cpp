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

// ASCII letters only: bytes of code page 936 characters stay as they are.
char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    }
    return true;
}

template <std::size_t N>
bool ContainsIgnoringCase(const std::array<std::string_view, N>& table, std::string_view name) {
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

bool IsKnownGameFolder(std::string_view folderName) { return ContainsIgnoringCase(kKnownGameFolders, folderName); }

bool IsReservedFolderName(std::string_view folderName) {
    return ContainsIgnoringCase(kReservedFolderNames, folderName);
}

}  // namespace modroute
