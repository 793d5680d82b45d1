#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "patches/CharacterCount.h"
#include "patches/CodeSignatures.h"

using namespace modroute;

TEST(CharacterCount, FileNamesGiveAnIndexOnlyWhenTheyFollowThePattern) {
    const std::pair<const char*, std::optional<int>> cases[] = {
        {"p01_a.gmb", 1},
        {"P12_b.gmb", 12},
        {"p7.gmb", 7},
        {"p40_hero.gmb", 40},
        {"p12.x", 12},              // exactly five characters
        {"p0.gm", 0},
        {"p1.2.gmb", 1},            // the stem ends at the first '.'
        {"p1_2_3.gmb", 1},          // the index ends at the first '_'
        {"p12_.gmb", 12},
        {"p7.x", std::nullopt},     // four characters
        {"p5abc", std::nullopt},    // no '.'
        {"p1a_x.dat", std::nullopt},
        {"pnotes.txt", std::nullopt},
        {"p_12.gmb", std::nullopt},  // second character not a digit
        {"q12.gmb", std::nullopt},
        {".p12.gmb", std::nullopt},
        {"p12a.gmb", std::nullopt},
        {"p-1_x.gmb", std::nullopt},
        {"p99999999999.gmb", std::nullopt},                   // does not fit an int
        {"p1.\xE4\xB8\xAD", std::nullopt},                    // p1.中: four characters in six bytes
        {"p3_\xE5\x89\x91\xE5\xAE\xA2.gmb", 3},               // p3_剑客.gmb
        {"p2\xE4\xB8\xAD.gmb", std::nullopt},                 // p2中.gmb
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
        {{"p01_a.gmb", "P12_b.gmb", "p7.gmb"}, 12, 13},
        {{"p7.gmb", "p40_hero.gmb", "p12.gmb"}, 40, 41},
        {{"p5abc", "p7.x", "p1a_x.dat", "readme.txt"}, -1, 1},
        {{}, -1, 1},
        {{"p0.gmb"}, 0, 1},
        {{"p2147483647.gmb"}, INT_MAX, INT_MAX},  // no overflow past the largest int
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LargestCharacterIndex(c.names), c.largest) << c.names.size();
        EXPECT_EQ(CharacterCountFromLargestIndex(c.largest), c.count) << c.largest;
    }
    EXPECT_EQ(CharacterPatchByte(CharacterCountFromLargestIndex(12)), 3);
    EXPECT_EQ(CharacterPatchByte(CharacterCountFromLargestIndex(40)), 31);
}

TEST(CharacterCount, PmodelFoldersOfGameBaseAndSelectedMod) {
    const std::string blades = "\xE5\x88\x80\xE9\x94\x8B";  // 刀锋
    struct Case {
        const char* game;
        const char* base;
        std::string mod;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"C:\\g", "C:\\g\\base", "", {"C:\\g\\pmodel", "C:\\g\\base\\pmodel"}},
        {"C:\\g", "C:\\g\\base", "base", {"C:\\g\\pmodel", "C:\\g\\base\\pmodel"}},
        {"C:\\g\\", "D:\\b", blades,
         {"C:\\g\\pmodel", "D:\\b\\pmodel", "C:\\g\\mods\\" + blades + "\\pmodel"}},
        {"C:\\g", "", "Base", {"C:\\g\\pmodel", "C:\\g\\mods\\Base\\pmodel"}},  // only "base" itself is no mod
        {"", "D:\\b", "m", {"D:\\b\\pmodel"}},
    };
    for (const Case& c : cases) EXPECT_EQ(PmodelFolders(c.game, c.base, c.mod), c.expected) << c.game << c.mod;
}
