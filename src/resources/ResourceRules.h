// A mod's resource rule list, built from its file index and then from the
// [ModConfig] section of its settings file (the same file that holds
// [ModInfo]; base.ini for the base). Settings file paths are UTF-8.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "resources/ModFileIndex.h"
#include "resources/ResourceRuleText.h"

namespace modroute {

// Replaces the rules with one per index entry, in the index's order: its name,
// its mode (always ModExclusive) and its file flag. No index (the base has
// none) leaves the list empty.
void LoadResourceRulesFromIndex(std::vector<ResourceRule>& rules, const std::optional<ModFileIndex>& index);

// The [ModConfig] rules of the settings file; false, with out empty, when the
// file cannot be read.
bool ParseModConfigSection(const std::string& utf8Path, std::vector<ResourceRule>& out);

// Merges the file's [ModConfig] rules into the list; a file that cannot be
// read or names no rule leaves the list as it was.
void ApplyModConfigSection(std::vector<ResourceRule>& rules, const std::string& utf8Path);

}  // namespace modroute
