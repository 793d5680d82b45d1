// A mod's description and configuration, and one found mod folder.
#pragma once

#include <string>

namespace modroute {

// The nine description texts of a [ModInfo] section, code page 936 bytes.
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
    std::string name;  // as the directory listing gives it (code page 936); "base" for the base folder
    std::string path;  // full path, UTF-8
    ModInfo info;
};

// A mod's configuration: its description, then its resource rules (added
// with the per-mod resource rules).
struct ModConfig : ModInfo {};

}  // namespace modroute
