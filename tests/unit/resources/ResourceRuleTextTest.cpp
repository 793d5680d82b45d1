// The [ModConfig] section over a file's bytes: which lines make a rule and
// which are skipped. The merge into the index's rules is checked by the fuzz
// target and the configuration tests.
#include <gtest/gtest.h>

#include "resources/ResourceRuleText.h"

using namespace modroute;

namespace {

constexpr auto kBase = ResourceMode::BaseCompletion;
constexpr auto kMod = ResourceMode::ModExclusive;
constexpr auto kVfs = ResourceMode::Vfs;

ResourceRule Folder(const char* name, ResourceMode mode) { return {name, mode, false}; }
ResourceRule File(const char* name, ResourceMode mode) { return {name, mode, true}; }

std::string Section(const std::string& line) { return "[ModConfig]\n" + line + "\n"; }

TEST(ModConfigText, OneLineInTheSection) {
    struct Case {
        const char* line;
        std::vector<ResourceRule> rules;
    };
    const Case cases[] = {
        {"texture = 2 ; comment", {Folder("texture", kVfs)}},
        {"waves.pak=0", {File("waves.pak", kBase)}},
        {"music=-0", {Folder("music", kBase)}},
        {"music=2abc", {Folder("music", kVfs)}},  // reading stops at the first non-digit
        {"Tavren.res=1=2", {File("Tavren.res", kMod)}},  // the first '=' splits
        {"music=3", {}},
        {"music=-1", {}},
        {"music=--1", {}},
        {"music=4294967296", {}},  // 2^32 and 2^32 + 1 must not wrap around to 0 and 1
        {"music=4294967297", {}},
        {"music 1", {}},
        {"=1", {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseModConfigText(Section(c.line)), c.rules) << c.line;
    }
}

TEST(ModConfigText, OnlyTheModConfigSectionCounts) {
    struct Case {
        const char* what;
        const char* text;
        std::vector<ResourceRule> rules;
    };
    const Case cases[] = {
        {"other sections", "[ModInfo]\nmusic=1\n[ModConfig]\ntexture=2\n[Other]\nimage=0\n", {Folder("texture", kVfs)}},
        {"blanks inside the brackets", "[ ModConfig ]\nmusic=1\n", {}},
        {"indented header, CR LF", "  [ModConfig]\t\r\nmusic=1\r\n", {Folder("music", kMod)}},
        {"sections again", "[ModConfig]\nmusic=1\n[ModInfo]\nsfx=1\n[ModConfig]\nSFX=2\n",
         {Folder("music", kMod), Folder("SFX", kVfs)}},
        {"byte-order mark before the header", "\xEF\xBB\xBF[ModConfig]\nmusic=1\n", {}},
        {"byte-order mark before a comment", "\xEF\xBB\xBF# settings\n[ModConfig]\nmusic=1\n", {Folder("music", kMod)}},
        {"duplicates in file order", "[ModConfig]\nmusic=0\ntexture=1\nmusic=2\n",
         {Folder("music", kBase), Folder("texture", kMod), Folder("music", kVfs)}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseModConfigText(c.text), c.rules) << c.what;
    }
}

}  // namespace
