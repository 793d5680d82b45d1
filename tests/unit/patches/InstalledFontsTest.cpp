#include <gtest/gtest.h>

#include <string>

#include "patches/InstalledFonts.h"

using namespace modroute;

// The test prefix carries the fonts-wine faces; the font tests rely on Tahoma.
TEST(InstalledFonts, TahomaIsFoundAndMadeUpFacesAreNot) {
    EXPECT_TRUE(IsFontInstalled("tahoma"));  // GDI matches faces without case
    EXPECT_FALSE(IsFontInstalled("Tahoma Made Up Nowhere"));
    EXPECT_FALSE(IsFontInstalled("\xBA\xDA\xCC\xE5\xD0\xE9\xB9\xB9"));  // 黑体虚构, GBK
    EXPECT_FALSE(IsFontInstalled(""));
    EXPECT_FALSE(IsFontInstalled("Tahoma" + std::string(300, 'x')));  // longer than a LOGFONT holds
}
