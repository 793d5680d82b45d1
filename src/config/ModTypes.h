// A mod's description and configuration, and one found mod folder.
#pragma once

#include <string>

namespace modroute {

// The nine description texts of a [ModInfo] section, UTF-8 (the description
// files are UTF-8; one read without conversion keeps the file's bytes).
struct ModInfo {
    std::string title;
    std::string image;
    std::string author = "Orbisoft";
    std::string version = "9.0.7";
    std::string info;
    std::string folderName;
    std::string type;
    std::string website;
    std::string contact;
};

struct ModFolder {
    std::string name;  // the folder's name (UTF-8); "base" for the base folder
    std::string path;  // full path, UTF-8
    ModInfo info;
};

// A mod's configuration.
struct ModConfig : ModInfo {};

}  // namespace modroute
