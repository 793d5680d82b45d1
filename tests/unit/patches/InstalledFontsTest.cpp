#include <gtest/gtest.h>

#include <string>

#include "patches/FaceResolver.h"
#include "patches/InstalledFonts.h"

using namespace modroute;

// The test prefix carries the fonts-wine faces; the font tests rely on Tahoma.
TEST(InstalledFonts, TahomaIsFoundAndMadeUpFacesAreNot) {
    EXPECT_TRUE(IsFontInstalled("Tahoma"));
    EXPECT_TRUE(IsFontInstalled("tahoma"));  // GDI matches faces without case
    EXPECT_FALSE(IsFontInstalled("Tahoma Made Up Nowhere"));
    EXPECT_FALSE(IsFontInstalled("\xBA\xDA\xCC\xE5\xD0\xE9\xB9\xB9"));  // 黑体虚构, GBK
    EXPECT_FALSE(IsFontInstalled(""));
    EXPECT_FALSE(IsFontInstalled("Tahoma" + std::string(300, 'x')));  // longer than a LOGFONT holds
}

TEST(InstalledFonts, ResolverOverGdiFallsBackToTheFirstInstalledFace) {
    // The prefix has Tahoma, but none of SimHei, Microsoft YaHei and SimSun.
    FaceResolver resolver(IsFontInstalled);
    resolver.Refresh(FontSettings(FontSubstitution{"Made Up Face", 120}, FontSubstitution{"Tahoma", 150}));
    const auto timesNewRoman = resolver.Resolve(FontKind::TimesNewRoman);
    ASSERT_TRUE(timesNewRoman);
    EXPECT_EQ(timesNewRoman->gbkFace, "Tahoma");
    const auto mingLiU = resolver.Resolve(FontKind::MingLiU);
    ASSERT_TRUE(mingLiU);
    EXPECT_EQ(mingLiU->gbkFace, "Tahoma");
    EXPECT_EQ(mingLiU->scale, 150);
}
