// A mod's description and configuration, and one found mod folder.
#pragma once

#include <string>
#include <vector>

#include "resources/ResourceRuleText.h"

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

// A mod's configuration: its description and its resource rules, seeded from
// the mod's file index and merged with the [ModConfig] section of its
// description file. Nothing in the system decides by the rules; they are
// kept for tools that show them.
struct ModConfig : ModInfo {
    std::vector<ResourceRule> rules;
};

}  // namespace modroute
