// Pure rules of the mod description files (<mod>.ini, base.ini): the two
// [ModInfo] readers over a file's bytes, the descriptions given to folders
// without a file, the root entry's name and the default base.ini. No Win32
// here. Texts are UTF-8.
#pragma once

#include <string>
#include <string_view>

#include "config/ModTypes.h"
#include "common/TextLines.h"
#include "common/Utf8Text.h"

namespace modroute {

// A description file's text in UTF-8, as the player saved it: a UTF-8
// byte-order mark is dropped (so a first line "[ModInfo]" is a section line),
// text that is not well-formed UTF-8 is code page 936 (through gbkToUtf8).
std::string DescriptionFileText(std::string_view fileBytes, TextConverter gbkToUtf8);

// The reader of the mod scan: resets out for modName (title and folderName =
// modName, author "未知作者", version "1.0.0", image "info.jpg"), then applies
// the [ModInfo] lines; a value that is not UTF-8 becomes empty text,
// "description" also sets info and image paths are cleaned.
void ParseModInfoText(std::string_view fileBytes, ModInfo& out, const std::string& modName);

// The reader of single mod configurations: lines are trimmed first, values are
// kept as raw bytes, "folderName" is read, and fields the file does not set
// keep what out held.
void ReadModInfoText(std::string_view fileBytes, ModInfo& out);

// Description of a base folder without base.ini.
ModInfo DefaultBaseInfo();
// Description of a folder under mods without its <name>.ini.
ModInfo DefaultModFolderInfo(const std::string& folderName);
// Description of a mod that LoadModConfig finds without a file; gameOwnName
// selects the game's publisher as author.
void SetMissingFileInfo(ModInfo& out, const std::string& modName, bool gameOwnName);
// Title, author, version, info and type of the root entry named rootName.
void SetRootEntryInfo(ModInfo& out, const std::string& rootName);

// The game folder's own name with a pseudo extension of 1 to 4 ASCII letters
// or digits taken off: "Blades.net" -> "Blades", "Blades.2024.1" -> "Blades.2024".
std::string RootEntryName(std::string_view folderName);

// The bytes of the base.ini written into a newly created base folder.
std::string DefaultBaseIniBytes();

}  // namespace modroute
