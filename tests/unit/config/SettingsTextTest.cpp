// The ModRoute.ini reader and the selected mod name rules, over bytes.
#include <gtest/gtest.h>

#include "common/TextEncoding.h"
#include "config/SettingsText.h"

using namespace modroute;

namespace {

constexpr char kBladesUtf8[] = "\xE5\x88\x80\xE9\x94\x8B";  // 刀锋
constexpr char kBladesGbk[] = "\xB5\xB6\xB7\xE6";           // 刀锋 in code page 936

std::string Parse(const std::string& bytes) { return ParseSelectedMod(bytes, Utf8ToAnsiStrict); }

TEST(SettingsText, ByteOrderMarkMakesTheFileUtf8AndTheNameCodePage936) {
    const std::string body = std::string("[Settings]\r\nSelectedMod=") + kBladesUtf8 + "\r\n";
    EXPECT_EQ(Parse("\xEF\xBB\xBF" + body), kBladesGbk);
    EXPECT_EQ(Parse(body), kBladesUtf8);  // without the mark: bytes unchanged
    EXPECT_EQ(Parse(std::string("\xEF\xBB\xBF[Settings]\nSelectedMod=") + kBladesGbk), "");  // invalid UTF-8
}

TEST(SettingsText, OnlyTheExactKeyInTheSettingsSectionCountsAndTheLastWins) {
    const struct {
        const char* text;
        const char* selected;
    } cases[] = {
        {"SelectedMod=Early\n[Settings]\n", ""},
        {"[Other]\nSelectedMod=Blades\n", ""},
        {"[settings]\nSelectedMod=Blades\n", ""},
        {"[Settings]\nselectedmod=Blades\n", ""},
        {"[Settings]\n;SelectedMod=A\n#SelectedMod=B\nSelectedMod C\n", ""},
        {"[Settings]\nSelectedMod=A\n[Other]\nSelectedMod=B\n", "A"},
        {" \t[Settings]  \r\n  SelectedMod = Blades \r\n", "Blades"},
        {"[Settings]\nSelectedMod=A\nSelectedMod=B", "B"},
        {"[Settings]\nSelectedMod=A\nSelectedMod=\n", ""},
        {"[Settings]\nSelectedMod=Blades   ; the sword mod\n", "Blades"},
        {"[Settings]\nSelectedMod=Blades\t# chosen by hand\n", "Blades"},
        {"[Settings]\nSelectedMod=Bla;des#x\n", "Bla"},
        {"[Settings]\nSelectedMod = a=b\n", "a=b"},
    };
    for (const auto& c : cases) EXPECT_EQ(Parse(c.text), c.selected) << c.text;
}

TEST(SettingsText, Utf8TestAndPlainFolderNames) {
    for (const char* text : {"Blades", kBladesUtf8, "\xC2\xA9"}) EXPECT_TRUE(PassesUtf8Test(text)) << text;
    // Not a lead byte, overlong lead, cut by the end, missing continuation, four bytes.
    for (const char* text : {kBladesGbk, "\xC0\xAF", "\xE5\x88", "\xE5\x88X", "\xF0\x9F\x98\x80"}) {
        EXPECT_FALSE(PassesUtf8Test(text)) << text;
    }
    for (const char* name : {"Blades", "base", "Blades.2024", kBladesUtf8}) EXPECT_TRUE(IsPlainFolderName(name));
    for (const char* name : {"", ".", "..", "..\\..\\Windows", "a/b", "C:x"}) EXPECT_FALSE(IsPlainFolderName(name));
}

}  // namespace
