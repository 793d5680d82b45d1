// Pure rules of a mod's resource rule list: the [ModConfig] section of its
// settings file, read over the file's bytes, and the merge of that section
// into the list the mod's file index gave. No Win32 here.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace modroute {

enum class ResourceMode : std::uint32_t {
    BaseCompletion = 0,  // completed from the base folder
    ModExclusive = 1,    // supplied by the mod alone
    Vfs = 2,             // served from the virtual file system
};

struct ResourceRule {
    std::string name;  // a top-level folder or file name, as the mod writes it
    ResourceMode mode = ResourceMode::ModExclusive;
    bool isFile = false;

    bool operator==(const ResourceRule&) const = default;
};

// The rules of every [ModConfig] section of the file, in file order, duplicates
// included. A line is "name = mode" with a mode of 0, 1 or 2; anything after
// ';' or '#' in the value is a comment, and a name holding a '.' is a file.
// A byte-order mark is not skipped, so a header on the first line of such a
// file is not seen.
std::vector<ResourceRule> ParseModConfigText(std::string_view fileBytes);

// Merges parsed rules into the list in order: a rule of the same name (exact
// bytes) takes the parsed mode and keeps its file flag; a new name is appended.
void MergeModConfigRules(std::vector<ResourceRule>& rules, const std::vector<ResourceRule>& parsed);

}  // namespace modroute
