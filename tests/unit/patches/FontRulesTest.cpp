// The variations of these rules are fuzzed; one case each holds the names the
// game uses and the boundaries.
#include <gtest/gtest.h>

#include "patches/FontRules.h"

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

