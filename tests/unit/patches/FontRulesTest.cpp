// The variations of these rules are fuzzed; one case each holds the names the
// game uses and the boundaries.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "patches/CharacterCount.h"
#include "patches/FontRules.h"
#include "patches/PmodelScan.h"
#include "support/TempDir.h"

using namespace modroute;

namespace {

const std::string kHeiTi = "\xBA\xDA\xCC\xE5";  // 黑体 in GBK

FontSettings Settings(const char* timesNewRoman, const char* mingLiU) {
    // A full-width zero that the code page maps to '0'.
    const auto toGbk = [](std::string_view utf8) { return utf8 == "\xEF\xBC\x90" ? std::string("0") : std::string(utf8); };
    return FontSettings::FromUtf8(timesNewRoman, 120, mingLiU, 150, toGbk);
}

}  // namespace

TEST(FontRules, NamesKindsSizesAndFaces) {
    EXPECT_FALSE(IsTimesNewRoman("Times New Roman "));
    EXPECT_TRUE(IsMingLiUFamily("\xBC\x9A\xC3\xF7\xF3\x77"));   // 細明體: its last trail byte is 'w'
    EXPECT_FALSE(IsMingLiUFamily("\xBC\x9A\xC3\xF7\xF3\x57"));  // another character, trail byte 'W'
    EXPECT_FALSE(IsMingLiUFamily("MingLiU_HKSCS-ExtB"));
    // MingLiU off: not taken for Times New Roman either.
    EXPECT_EQ(IndirectFontKind("MingLiU", Settings("Tahoma", "")), std::nullopt);
    EXPECT_EQ(TimesNewRomanOnlyKind("MingLiU", Settings("Tahoma", "SimSun")), std::nullopt);
    const FontSettings zero = Settings("\xEF\xBC\x90", "00");  // "0" only after the conversion
    EXPECT_FALSE(zero.For(FontKind::TimesNewRoman).IsOn());
    EXPECT_EQ(zero.For(FontKind::TimesNewRoman).scale, 100);
    EXPECT_EQ(zero.For(FontKind::MingLiU).gbkFace, "00");
    EXPECT_EQ(ScaleFontSize(-15, 50), -7);
    EXPECT_EQ(ScaleFontSize(INT32_MIN, 200), INT32_MIN);
    EXPECT_EQ(SubstitutedCharSet(1), 134u);
    EXPECT_EQ(SubstitutedCharSet(2), 2u);
    EXPECT_EQ(GbkTruncate(std::string(30, 'a') + kHeiTi, 31), std::string(30, 'a'));  // 黑 would straddle the limit
}

TEST(CharacterCount, IndexesCountAndPmodelFolders) {
    EXPECT_EQ(CharacterIndexOf("p1.\xE4\xB8\xAD"), std::nullopt);  // p1.中: four characters in six bytes
    EXPECT_EQ(CharacterCountFromLargestIndex(INT_MAX), INT_MAX);      // no overflow
    EXPECT_EQ(PmodelFolders("C:\\g", "C:\\g\\base", "base"), (std::vector<std::string>{"C:\\g\\pmodel", "C:\\g\\base\\pmodel"}));
    EXPECT_EQ(PmodelFolders("C:\\g\\", "", "Base"), (std::vector<std::string>{"C:\\g\\pmodel", "C:\\g\\mods\\Base\\pmodel"}));
    const testsupport::TempDir game("\xEA\xB2\x8C\xEC\x9E\x84");  // 게임: has no GBK form
    game.Write("base\\pmodel\\p01_a.gmb", "");
    game.Write("base\\pmodel\\p99.x\\p98.gmb", "");  // below a folder: neither listed nor counted
    EXPECT_EQ(ListRegularFileNames(game / "base\\pmodel"), std::vector<std::string>{"p01_a.gmb"});
    game.Write("pmodel\\p50.gmb", "");  // the game folder's own counts, first in order but compared by value
    EXPECT_EQ(LargestCharacterIndexInFolders(PmodelFolders(game.Path(), game / "base", "")), 50);
}
