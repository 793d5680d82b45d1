// A settings file of any bytes: the [ModConfig] rules it gives, and their
// merge into the list a mod's file index gave.
#include <algorithm>

#include "FuzzSupport.h"
#include "config/SettingsText.h"
#include "resources/ResourceRuleText.h"

using namespace modroute;

namespace {

// What a mod's file index might have found.
std::vector<ResourceRule> IndexRules() {
    return {{"texture", ResourceMode::ModExclusive, false},
            {"waves.pak", ResourceMode::ModExclusive, true},
            {"music", ResourceMode::BaseCompletion, false},
            {"Tavren.res", ResourceMode::Vfs, false}};
}

void CheckRule(const ResourceRule& rule) {
    FUZZ_CHECK(!rule.name.empty() && fuzzsupport::IsTrimmed(rule.name));
    FUZZ_CHECK(rule.name.find_first_of("=\n") == std::string::npos);
    FUZZ_CHECK(rule.name.front() != ';' && rule.name.front() != '#');
    FUZZ_CHECK(rule.isFile == (rule.name.find('.') != std::string::npos));
    FUZZ_CHECK(static_cast<std::uint32_t>(rule.mode) <= static_cast<std::uint32_t>(ResourceMode::Vfs));
}

void CheckMerge(const std::vector<ResourceRule>& before, const std::vector<ResourceRule>& parsed) {
    std::vector<ResourceRule> merged = before;
    MergeModConfigRules(merged, parsed);
    // The index's rules keep their place and file flag; new names follow, once each.
    FUZZ_CHECK(merged.size() >= before.size());
    for (std::size_t i = 0; i < before.size(); ++i) {
        FUZZ_CHECK(merged[i].name == before[i].name && merged[i].isFile == before[i].isFile);
    }
    for (std::size_t i = 0; i < merged.size(); ++i) {
        const ResourceRule& rule = merged[i];
        const auto sameName = [&](const ResourceRule& other) { return other.name == rule.name; };
        FUZZ_CHECK(std::count_if(merged.begin(), merged.end(), sameName) == 1);
        // The last parsed rule of a name sets its mode.
        const auto last = std::find_if(parsed.rbegin(), parsed.rend(), sameName);
        if (last != parsed.rend()) {
            FUZZ_CHECK(rule.mode == last->mode);
        } else {
            FUZZ_CHECK(i < before.size() && rule.mode == before[i].mode);
        }
    }
    // Merging the same rules again changes nothing.
    std::vector<ResourceRule> again = merged;
    MergeModConfigRules(again, parsed);
    FUZZ_CHECK(again == merged);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes = fuzzsupport::AsText(data, size);
    const std::vector<ResourceRule> parsed = ParseModConfigText(bytes);
    for (const ResourceRule& rule : parsed) CheckRule(rule);
    if (bytes.find('\r') == std::string_view::npos) FUZZ_CHECK(ParseModConfigText(fuzzsupport::WithCrLf(bytes)) == parsed);
    CheckMerge(IndexRules(), parsed);
    CheckMerge({}, parsed);
    return 0;
}
