// Character indexes of pmodel file names, the pmodel folders looked at and
// the files listed in them. (The character count over a game's folders is
// checked in the stand-in game.)
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "patches/CharacterCount.h"
#include "patches/PmodelScan.h"
#include "support/TempDir.h"

using namespace modroute;

// The variations are fuzzed; these are the boundaries of the name pattern and the count.
TEST(CharacterCount, FileNamesGiveAnIndexOnlyWhenTheyFollowThePatternAndTheCountIsTheLargestPlusOne) {
    const std::pair<const char*, std::optional<int>> cases[] = {
        {"P12_b.gmb", 12}, {"p12.x", 12}, {"p7.x", std::nullopt},  // at least five characters
        {"p1.2_3.gmb", 1}, {"p1_2.3.gmb", 1},                      // the index ends at the first '.' or '_'
        {"p99999999999.gmb", std::nullopt},                         // does not fit an int
        {"p1.\xE4\xB8\xAD", std::nullopt},                          // p1.中: four characters in six bytes
    };
    for (const auto& [name, expected] : cases) EXPECT_EQ(CharacterIndexOf(name), expected) << name;
    EXPECT_EQ(LargestCharacterIndex(std::vector<std::string>{"p7.gmb", "p40_hero.gmb", "p12.gmb"}), 40);
    EXPECT_EQ(LargestCharacterIndex(std::vector<std::string>{"p5abc", "readme.txt"}), -1);
    const std::pair<int, int> counts[] = {{40, 41}, {-1, 1}, {0, 1}, {INT_MAX, INT_MAX}};  // no overflow
    for (const auto& [largest, count] : counts) EXPECT_EQ(CharacterCountFromLargestIndex(largest), count) << largest;
}

TEST(PmodelScan, FoldersOfGameBaseAndSelectedModAndTheirRegularFiles) {
    const std::string blades = "\xE5\x88\x80\xE9\x94\x8B";  // 刀锋
    const std::tuple<const char*, const char*, std::string, std::vector<std::string>> folders[] = {
        {"C:\\g", "C:\\g\\base", "base", {"C:\\g\\pmodel", "C:\\g\\base\\pmodel"}},
        {"C:\\g\\", "D:\\b", blades, {"C:\\g\\pmodel", "D:\\b\\pmodel", "C:\\g\\mods\\" + blades + "\\pmodel"}},
        {"C:\\g", "", "Base", {"C:\\g\\pmodel", "C:\\g\\mods\\Base\\pmodel"}},  // only "base" itself is no mod
        {"", "D:\\b", "m", {"D:\\b\\pmodel"}},
    };
    for (const auto& [game, base, mod, expected] : folders) EXPECT_EQ(PmodelFolders(game, base, mod), expected) << mod;

    const testsupport::TempDir game("\xEA\xB2\x8C\xEC\x9E\x84");  // 게임: has no GBK form
    game.Write("base\\pmodel\\p01_a.gmb", "");
    game.Write("base\\pmodel\\" + blades + ".txt", "");
    game.Write("base\\pmodel\\p99.x\\p98.gmb", "");  // below a folder: neither listed nor counted
    std::vector<std::string> names = ListRegularFileNames(game / "base\\pmodel");
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"p01_a.gmb", blades + ".txt"}));
    EXPECT_TRUE(ListRegularFileNames(game / "base\\pmodel\\p01_a.gmb").empty());
    game.Write("pmodel\\p50.gmb", "");  // the game folder's own counts, first in order but compared by value
    EXPECT_EQ(LargestCharacterIndexInFolders(PmodelFolders(game.Path(), game / "base", "")), 50);
}
