// The names the game itself uses for its files and folders, in one place.
// The rules that read them live with their users; the order of a table is
// the order it is probed in.
#pragma once

#include <array>
#include <string_view>

namespace modroute {

// Game-root files: always used from the game folder.
inline constexpr std::array<std::string_view, 17> kRootFiles = {
    "config.ini", "config.exe",   "Tavren.exe",        "AsEngine.dll",        "D3DX9_43.dll",
    "ddfix.dll",  "ddfix_ext.dll", "imgui.ini",        "joystick.ini",        "lobby.lst",
    "menu.res",   "mgstringtable.ini", "mgstringtableHT.ini", "ScriptCompiler.exe", "server.cfg",
    "webnewsaddr.ini", "singlerec.ini",
};

// The packs named after the game's own folders (name.pvk): always preloaded.
inline constexpr std::array<std::string_view, 22> kSystemPacks = {
    "cmodel",  "Common",    "image",     "Level",    "mc",       "mmv",          "music",     "Patch",
    "pmodel",  "PScriptLib", "SFX",      "texture",  "ctexture", "ETexture",     "ptexture",  "TexturePatch",
    "UITexture", "waves",   "AsScripts", "ddfix_assets", "UserData", "Waves",
};

// The resource folders the base folder keeps; compared exactly.
inline constexpr std::array<std::string_view, 21> kBaseResourceFolders = {
    "AsScripts", "cmodel", "Common",   "image",    "Level",        "mc",        "mmv",
    "music",     "Patch",  "pmodel",   "PScriptLib", "SFX",        "texture",   "UserData",
    "Waves",     "ctexture", "ETexture", "ptexture", "TexturePatch", "UITexture", "waves",
};

// The folders the game itself ships; compared without ASCII case.
inline constexpr std::array<std::string_view, 21> kKnownGameFolders = {
    "cmodel",   "common",   "image",        "level",     "mc",     "mmv",       "music",
    "patch",    "pmodel",   "pscriptlib",   "ptexture",  "sfx",    "texture",   "ctexture",
    "ETexture", "TexturePatch", "UITexture", "waves",    "Tavren", "AsScripts", "ddfix_assets",
};

// Folder names that can never be a mod's map folder; compared without ASCII case.
inline constexpr std::array<std::string_view, 24> kReservedFolderNames = {
    "cmodel",   "pmodel",   "Common",       "image",     "mc",        "mmv",     "music",     "Patch",
    "PScriptLib", "SFX",    "texture",      "ctexture",  "ETexture",  "ptexture", "TexturePatch", "UITexture",
    "UserData", "Waves",    "waves",        "Level",     "AsScripts", "ddfix_assets", "base", "mods",
};

// The game's top-level resource folders and files a mod may replace, in the
// order they are probed.
inline constexpr std::array<std::string_view, 20> kResourceFolders = {
    "cmodel", "Common",   "image",    "Level",    "mc",           "mmv",       "music",
    "Patch",  "pmodel",   "PScriptLib", "SFX",    "texture",      "UserData",  "Waves",
    "ctexture", "ETexture", "ptexture", "TexturePatch", "UITexture", "waves",
};

inline constexpr std::array<std::string_view, 8> kResourceFiles = {
    "ctexture.pak", "ETexture.pak", "Tavren.res", "ptexture.pak",
    "TexturePatch.pak", "UITexture.pak", "waves.pak", "user.cfg",
};

// The large files whose change makes a mod's file index stale.
inline constexpr std::array<std::string_view, 4> kImportantFiles = {"Tavren.res", "ctexture.pak", "ETexture.pak",
                                                                    "waves.pak"};

}  // namespace modroute
