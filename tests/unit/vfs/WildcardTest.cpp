// Name matching against search patterns, as FindFirstFileA matches. The
// fuzz target compares it with a plain reading of the rules on many inputs;
// this table holds the rules the system's search showed.
#include <gtest/gtest.h>

#include <string>

#include "vfs/Wildcard.h"

using modroute::WildcardMatch;

TEST(Wildcard, MatchesAsTheSystemSearchDoes) {
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"a", "a*", true},             // a star may match nothing, even at the name's end
        {"a.b.pak", "*.pak", true},    // and runs past the first '.'
        {"readme", "*.*", true},       // "*.*" finds names without extension too
        {"a", "a?", false},
        {"Map.WP", "map.wp", true},    // plain names compare as the file system does
        {"noext", "noext. ", true},    // trailing dots and spaces are dropped
        {"sub\\b.wp", "*.wp", true},   // a star crosses the separators of the tested part
        {"中文.txt", "??.txt", true},  {"中文.txt", "??????.txt", false},  // '?' takes a whole character
        {"地图中文", "*?文", true},    {"中ab", "*??a*", false},  // a star gives back whole characters
        {"\xE4\xB8", "??", true},  // a cut-off sequence counts byte by byte
        {"\xC3\x89", "\xC3\xA9", false},  // É and é: only ASCII letters are folded
        {"x", "", false},
    };
    for (const auto& [name, pattern, matches] : cases) EXPECT_EQ(WildcardMatch(name, pattern), matches) << name << " ~ " << pattern;
    // Exponential backtracking would not return from these.
    const std::string longName(3000, 'a');
    EXPECT_FALSE(WildcardMatch(longName, "*a*a*a*a*a*a*a*a*a*a*b"));
    EXPECT_TRUE(WildcardMatch(longName + "b", "*a*a*a*a*a*a*a*a*a*a*b"));
}
