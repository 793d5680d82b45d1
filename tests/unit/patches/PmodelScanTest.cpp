#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "patches/CharacterCount.h"
#include "patches/PmodelScan.h"
#include "support/TempDir.h"

using namespace modroute;
using testsupport::TempDir;

namespace {
const std::string kBlades = "\xE5\x88\x80\xE9\x94\x8B";         // 刀锋
const std::string kHangulGame = "\xEA\xB2\x8C\xEC\x9E\x84";     // 게임: has no GBK form
}  // namespace

TEST(PmodelScan, ListsOnlyTheRegularFilesOfAFolder) {
    TempDir game(kHangulGame);
    game.Write("base\\pmodel\\p01_a.gmb", "");
    game.Write("base\\pmodel\\P12_b.gmb", "");
    game.Write("base\\pmodel\\p7.gmb", "");
    game.Write("base\\pmodel\\" + kBlades + ".txt", "");
    game.MakeFolder("base\\pmodel\\p99.x");
    game.Write("base\\pmodel\\p99.x\\p98.gmb", "");  // below a folder: not listed
    std::vector<std::string> names = ListRegularFileNames(game / "base\\pmodel");
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"P12_b.gmb", "p01_a.gmb", "p7.gmb", kBlades + ".txt"}));
    EXPECT_TRUE(ListRegularFileNames(game / "missing").empty());
    EXPECT_TRUE(ListRegularFileNames(game / "base\\pmodel\\p7.gmb").empty());
    EXPECT_TRUE(ListRegularFileNames("").empty());
}

TEST(PmodelScan, LargestIndexOverGameBaseAndModFolders) {
    TempDir game(kHangulGame);
    game.Write("base\\pmodel\\p01_a.gmb", "");
    game.Write("base\\pmodel\\P12_b.gmb", "");
    game.Write("base\\pmodel\\p7.gmb", "");
    game.MakeFolder("base\\pmodel\\p99.x");  // a folder, however well named
    game.Write("mods\\" + kBlades + "\\pmodel\\p40_hero.gmb", "");
    game.Write("mods\\other\\pmodel\\p77.gmb", "");  // not the selected mod

    // No pmodel folder in the game folder itself: it counts as empty.
    const std::vector<std::string> withoutMod = PmodelFolders(game.Path(), game / "base", "");
    EXPECT_EQ(LargestCharacterIndexInFolders(withoutMod), 12);
    const std::vector<std::string> withMod = PmodelFolders(game.Path(), game / "base", kBlades);
    EXPECT_EQ(LargestCharacterIndexInFolders(withMod), 40);
    EXPECT_EQ(CharacterCountFromLargestIndex(LargestCharacterIndexInFolders(withMod)), 41);

    // The game folder's own pmodel counts as well, first in order but compared by value.
    game.Write("pmodel\\p50.gmb", "");
    EXPECT_EQ(LargestCharacterIndexInFolders(withoutMod), 50);
    EXPECT_EQ(LargestCharacterIndexInFolders(std::vector<std::string>{}), -1);
}
