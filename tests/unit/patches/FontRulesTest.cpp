// The variations of these rules are fuzzed; one case each holds the names the
// game uses and the boundaries.
#include <gtest/gtest.h>

#include <climits>

#include "patches/CharacterCount.h"
#include "patches/FontRules.h"
#include "patches/PmodelScan.h"
#include "support/TempDir.h"

using namespace modroute;

TEST(FontRules, NamesKindsSizesAndFaces) {
    EXPECT_TRUE(IsMingLiUFamily("\xBC\x9A\xC3\xF7\xF3\x77"));   // 細明體: its last trail byte is 'w'
    EXPECT_FALSE(IsMingLiUFamily("\xBC\x9A\xC3\xF7\xF3\x57"));  // another character, trail byte 'W'
    // MingLiU off: not taken for Times New Roman either; a face of "0" after the conversion is off.
    const auto toGbk = [](std::string_view utf8) { return utf8 == "\xEF\xBC\x90" ? std::string("0") : std::string(utf8); };
    EXPECT_EQ(IndirectFontKind("MingLiU", FontSettings::FromUtf8("Tahoma", 120, "", 150, toGbk)), std::nullopt);
    EXPECT_FALSE(FontSettings::FromUtf8("\xEF\xBC\x90", 120, "", 150, toGbk).For(FontKind::TimesNewRoman).IsOn());
    EXPECT_EQ(ScaleFontSize(INT32_MIN, 200), INT32_MIN);
    EXPECT_EQ(SubstitutedCharSet(1), 134u);  // DEFAULT_CHARSET becomes GB2312
    EXPECT_EQ(GbkTruncate(std::string(30, 'a') + "\xBA\xDA", 31), std::string(30, 'a'));  // 黑 would straddle the limit
}

TEST(CharacterCount, IndexesCountAndPmodelFolders) {
    EXPECT_EQ(CharacterIndexOf("p1.\xE4\xB8\xAD"), std::nullopt);  // p1.中: four characters in six bytes
    EXPECT_EQ(CharacterCountFromLargestIndex(INT_MAX), INT_MAX);      // no overflow
    EXPECT_EQ(PmodelFolders("C:\\g\\", "", "Base"), (std::vector<std::string>{"C:\\g\\pmodel", "C:\\g\\mods\\Base\\pmodel"}));
    const testsupport::TempDir game("\xEA\xB2\x8C\xEC\x9E\x84");  // 게임: has no GBK form
    game.Write("base\\pmodel\\p01_a.gmb", "");
    game.Write("base\\pmodel\\p99.x\\p98.gmb", "");  // below a folder: neither listed nor counted
    EXPECT_EQ(LargestCharacterIndexInFolders(std::vector<std::string>{game / "base\\pmodel"}), 1);
    game.Write("pmodel\\p50.gmb", "");  // the game folder's own counts, first in order but compared by value
    EXPECT_EQ(LargestCharacterIndexInFolders(PmodelFolders(game.Path(), game / "base", "base")), 50);
}
