#include "resources/ResourceRules.h"

#include "common/FileSystem.h"

namespace modroute {

void LoadResourceRulesFromIndex(std::vector<ResourceRule>& rules, const std::optional<ModFileIndex>& index) {
    rules.clear();
    if (!index) return;
    for (const ModFileIndexEntry& entry : index->entries) rules.push_back({entry.name, entry.mode, entry.isFile});
}

bool ParseModConfigSection(const std::string& utf8Path, std::vector<ResourceRule>& out) {
    out.clear();
    // Settings files are a few hundred bytes; anything larger is not one.
    const std::optional<std::string> bytes = ReadWholeFile(utf8Path, 16u * 1024u * 1024u);
    if (!bytes) return false;
    out = ParseModConfigText(*bytes);
    return true;
}

void ApplyModConfigSection(std::vector<ResourceRule>& rules, const std::string& utf8Path) {
    std::vector<ResourceRule> parsed;
    if (!ParseModConfigSection(utf8Path, parsed)) return;
    MergeModConfigRules(rules, parsed);
}

}  // namespace modroute
