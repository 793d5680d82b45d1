// The three resource name tables differ in case rules and in which names they
// hold; one case each for the differences the redirect decision and AutoRes rely on.
#include <gtest/gtest.h>

#include "resources/ResourceCategories.h"
#include "resources/ResourceRuleText.h"

using namespace modroute;

TEST(ResourceCategories, CaseRulesOfTheThreeTables) {
    // The base folders: the first folder only, its case exactly as listed.
    for (const char* path : {"texture\\a.dds", "Waves\\a", "waves\\a"}) EXPECT_TRUE(IsBaseResourceFolder(path)) << path;
    for (const char* path : {"Texture\\a", "a\\texture\\b", "textures\\a"}) EXPECT_FALSE(IsBaseResourceFolder(path));
    EXPECT_TRUE(IsKnownGameFolder("DDFIX_ASSETS"));
    EXPECT_FALSE(IsKnownGameFolder("UserData"));
    EXPECT_TRUE(IsReservedFolderName("userdata"));
    // The game's own name is known but not reserved; code page 936 bytes are never folded.
    for (const char* name : {"Tavren", "\xC3\xCF\xC4\xC4"}) EXPECT_FALSE(IsReservedFolderName(name)) << name;
}

TEST(ModConfigText, WhichLinesMakeARule) {
    constexpr auto kMod = ResourceMode::ModExclusive;
    constexpr auto kVfs = ResourceMode::Vfs;
    const struct {
        const char* text;
        std::vector<ResourceRule> rules;
    } cases[] = {
        {"[ModConfig]\ntexture = 2 ; comment\nwaves.pak=1=2\n", {{"texture", kVfs, false}, {"waves.pak", kMod, true}}},
        {"[ModConfig]\nmusic=2abc\n", {{"music", kVfs, false}}},  // reading stops at the first non-digit
        {"[ModConfig]\nmusic=3\nmusic=-1\nmusic 1\n=1\n", {}},
        {"[ModConfig]\nmusic=4294967297\n", {}},  // 2^32 + 1 must not wrap around to 1
        {"[ModInfo]\nmusic=1\n[ModConfig]\nsfx=2\n[Other]\nimage=0\n[ModConfig]\nsfx=1\n",
         {{"sfx", kVfs, false}, {"sfx", kMod, false}}},
        {"\xEF\xBB\xBF[ModConfig]\nmusic=1\n", {}},  // a byte-order mark spoils the header
    };
    for (const auto& c : cases) EXPECT_EQ(ParseModConfigText(c.text), c.rules) << c.text;
}
