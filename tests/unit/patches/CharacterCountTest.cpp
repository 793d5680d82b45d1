#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "patches/CharacterCount.h"
#include "patches/CodeSignatures.h"

using namespace modroute;

TEST(CharacterCount, FileNamesGiveAnIndexOnlyWhenTheyFollowThePattern) {
    const std::pair<const char*, std::optional<int>> cases[] = {
        {"P12_b.gmb", 12},
        {"p12.x", 12},              // exactly five characters
        {"p1.2.gmb", 1},            // the stem ends at the first '.'
        {"p1_2_3.gmb", 1},          // the index ends at the first '_'
        {"p7.x", std::nullopt},     // four characters
        {"p5abc", std::nullopt},    // no '.'
        {"p_12.gmb", std::nullopt},  // second character not a digit
        {"p12a.gmb", std::nullopt},
        {"p99999999999.gmb", std::nullopt},                   // does not fit an int
        {"p1.\xE4\xB8\xAD", std::nullopt},                    // p1.中: four characters in six bytes
        {"p3_\xE5\x89\x91\xE5\xAE\xA2.gmb", 3},               // p3_剑客.gmb
    };
    for (const auto& [name, expected] : cases) EXPECT_EQ(CharacterIndexOf(name), expected) << name;
}

TEST(CharacterCount, CountIsTheLargestIndexPlusOneAndAtLeastOne) {
    struct Case {
        std::vector<std::string> names;
        int largest;
        int count;
    };
    const Case cases[] = {
        {{"p7.gmb", "p40_hero.gmb", "p12.gmb"}, 40, 41},
        {{"p5abc", "readme.txt"}, -1, 1},
        {{"p0.gmb"}, 0, 1},
        {{"p2147483647.gmb"}, INT_MAX, INT_MAX},  // no overflow past the largest int
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LargestCharacterIndex(c.names), c.largest) << c.names.size();
        EXPECT_EQ(CharacterCountFromLargestIndex(c.largest), c.count) << c.largest;
    }
}
