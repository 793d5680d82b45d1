// Name matching against search patterns, as FindFirstFileA matches.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "vfs/Wildcard.h"

using modroute::WildcardMatch;

namespace {

struct Case {
    const char* name;
    const char* pattern;
    bool matches;
};

// A plain recursive reading of the rules over one byte per character, for
// the small names of the comparison below: '*' any run, '?' one character, a
// ".*" at the end of the name may match nothing, ASCII letters without case.
bool Reference(std::string_view name, std::string_view pattern) {
    if (pattern.empty()) return name.empty();
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (pattern[0] == '*') return Reference(name, pattern.substr(1)) || (!name.empty() && Reference(name.substr(1), pattern));
    if (name.empty()) return pattern.size() >= 2 && pattern[0] == '.' && pattern[1] == '*' && Reference(name, pattern.substr(1));
    if (pattern[0] == '?' || lower(pattern[0]) == lower(name[0])) return Reference(name.substr(1), pattern.substr(1));
    return false;
}

}  // namespace

TEST(Wildcard, MatchesAsTheSystemSearchDoes) {
    const Case cases[] = {
        {"a", "a*", true},             // a star may match nothing, even at the name's end
        {"a.b.pak", "*.pak", true},    // and runs past the first '.'
        {"readme", "*.*", true},       // "*.*" finds names without extension too
        {"a", "a.?", false},           {"a", "a?", false},
        {"Map.WP", "map.wp", true},    // plain names compare as the file system does
        {"noext", "noext. ", true},    // trailing dots and spaces are dropped
        {"sub\\b.wp", "*.wp", true},   // a star crosses the separators of the tested part
        {"中文.txt", "??.txt", true},  {"中文.txt", "??????.txt", false},  // '?' takes a whole character
        {"地图中文", "*?文", true},    {"中ab", "*??a*", false},  // a star gives back whole characters
        {"\xE4\xB8", "??", true},  // a cut-off sequence counts byte by byte
        {"\xC3\x89", "\xC3\xA9", false},  // É and é: only ASCII letters are folded
        {"x", "", false},
    };
    for (const Case& c : cases) EXPECT_EQ(WildcardMatch(c.name, c.pattern), c.matches) << c.name << " ~ " << c.pattern;
}

TEST(Wildcard, AgreesWithAPlainReadingOfTheRulesOnManySmallCases) {
    // '#' stands for 中, three bytes in UTF-8 that '?' and '*' must keep whole.
    const auto utf8 = [](std::string text) {
        for (std::size_t at; (at = text.find('#')) != std::string::npos;) text.replace(at, 1, "中");
        return text;
    };
    std::mt19937 random(20240611);
    const std::string nameLetters = "abA.#";
    const std::string patternLetters = "abB.*?#";
    for (int round = 0; round < 40000; ++round) {
        std::string name;
        std::string pattern;
        for (std::uint32_t k = random() % 7; k > 0; --k) name += nameLetters[random() % nameLetters.size()];
        for (std::uint32_t k = random() % 6; k > 0; --k) pattern += patternLetters[random() % patternLetters.size()];
        if (!pattern.empty() && pattern.back() == '.') continue;  // dropped before matching
        ASSERT_EQ(WildcardMatch(utf8(name), utf8(pattern)), Reference(name, pattern)) << name << " ~ " << pattern;
    }
}

TEST(Wildcard, LongNamesAgainstManyStarsStillFinish) {
    // Exponential backtracking would not return from these.
    const std::string name(3000, 'a');
    EXPECT_FALSE(WildcardMatch(name, "*a*a*a*a*a*a*a*a*a*a*b"));
    EXPECT_TRUE(WildcardMatch(name + "b", "*a*a*a*a*a*a*a*a*a*a*b"));
}
