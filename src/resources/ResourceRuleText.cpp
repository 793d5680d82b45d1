#include "resources/ResourceRuleText.h"

#include <charconv>
#include <optional>

#include "common/TextLines.h"

namespace modroute {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The value as a decimal number with an optional sign, read up to its first
// non-digit. Only 0, 1 and 2 are modes: negative numbers, and numbers too
// large for 32 bits (which must not wrap around to a mode), are refused.
std::optional<ResourceMode> ParseMode(std::string_view value) {
    bool negative = false;
    if (!value.empty() && (value.front() == '+' || value.front() == '-')) {
        negative = value.front() == '-';
        value.remove_prefix(1);
    }
    if (value.empty() || !IsDigit(value.front())) return std::nullopt;
    std::uint64_t number = 0;
    const std::from_chars_result read = std::from_chars(value.data(), value.data() + value.size(), number);
    if (read.ec != std::errc{} || (negative && number != 0)) return std::nullopt;
    if (number > static_cast<std::uint32_t>(ResourceMode::Vfs)) return std::nullopt;
    return static_cast<ResourceMode>(number);
}

}  // namespace

std::vector<ResourceRule> ParseModConfigText(std::string_view fileBytes) {
    std::vector<ResourceRule> rules;
    bool inSection = false;
    ForEachTextLine(fileBytes, [&](std::string_view rawLine) {
        const std::string_view line = TrimBlanks(rawLine);
        if (line.empty()) return;
        if (line.front() == '[' && line.back() == ']' && line.size() >= 2) {
            inSection = line.substr(1, line.size() - 2) == "ModConfig";
            return;
        }
        if (!inSection || line.front() == ';' || line.front() == '#') return;
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) return;
        const std::string_view key = TrimBlanks(line.substr(0, equals));
        // A rule without a name could never name a resource.
        if (key.empty()) return;
        // A comment after the value (';' or '#') ends the number like any
        // other non-digit, so it needs no cutting of its own.
        const std::optional<ResourceMode> mode = ParseMode(TrimBlanks(line.substr(equals + 1)));
        if (!mode) return;
        rules.push_back({std::string(key), *mode, key.find('.') != std::string_view::npos});
    });
    return rules;
}

void MergeModConfigRules(std::vector<ResourceRule>& rules, const std::vector<ResourceRule>& parsed) {
    for (const ResourceRule& rule : parsed) {
        bool found = false;
        for (ResourceRule& existing : rules) {
            if (existing.name == rule.name) {
                existing.mode = rule.mode;
                found = true;
                break;
            }
        }
        if (!found) rules.push_back(rule);
    }
}

}  // namespace modroute
