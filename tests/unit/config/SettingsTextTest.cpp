// The ModRoute.ini reader and the selected mod name rules, over bytes.
#include <gtest/gtest.h>

#include "common/TextEncoding.h"
#include "config/SettingsText.h"

using namespace modroute;

namespace {

constexpr char kBladesUtf8[] = "\xE5\x88\x80\xE9\x94\x8B";  // 刀锋
constexpr char kBladesGbk[] = "\xB5\xB6\xB7\xE6";           // 刀锋 in code page 936

std::string Parse(const std::string& bytes) { return ParseSelectedMod(bytes, GbkToUtf8); }

TEST(SettingsText, TheNameComesOutInUtf8WhateverTheFileWasSavedAs) {
    const std::string utf8Body = std::string("[Settings]\r\nSelectedMod=") + kBladesUtf8 + "\r\n";
    const std::string gbkBody = std::string("[Settings]\r\nSelectedMod=") + kBladesGbk + "\r\n";
    EXPECT_EQ(Parse("\xEF\xBB\xBF" + utf8Body), kBladesUtf8);
    EXPECT_EQ(Parse(utf8Body), kBladesUtf8);  // no mark, but the name passes the UTF-8 test
    EXPECT_EQ(Parse(gbkBody), kBladesUtf8);   // no mark: code page 936
    EXPECT_EQ(Parse("\xEF\xBB\xBF" + gbkBody), "");  // marked as UTF-8 but is not
}

TEST(SettingsText, OnlyTheExactKeyInTheSettingsSectionCountsAndTheLastWins) {
    const struct {
        const char* text;
        const char* selected;
    } cases[] = {
        {"SelectedMod=Early\n[Settings]\n", ""},
        {"[settings]\nSelectedMod=Blades\n", ""},
        {"[Settings]\nselectedmod=Blades\n", ""},
        {"[Settings]\n;SelectedMod=A\nSelectedMod C\n", ""},
        {"[Settings]\nSelectedMod=A\n[Other]\nSelectedMod=B\n", "A"},
        {" \t[Settings]  \r\n  SelectedMod = Blades \r\n", "Blades"},
        {"[Settings]\nSelectedMod=A\nSelectedMod=B", "B"},
        {"[Settings]\nSelectedMod=Blades   ; the sword mod\n", "Blades"},
        {"[Settings]\nSelectedMod=Bla;des#x\n", "Bla"},
        {"[Settings]\nSelectedMod = a=b\n", "a=b"},
    };
    for (const auto& c : cases) EXPECT_EQ(Parse(c.text), c.selected) << c.text;
}

TEST(SettingsText, PlainFolderNames) {
    for (const char* name : {"Blades", "base", "Blades.2024", kBladesUtf8}) EXPECT_TRUE(IsPlainFolderName(name));
    for (const char* name : {"", ".", "..", "..\\..\\Windows", "a/b", "C:x"}) EXPECT_FALSE(IsPlainFolderName(name));
}

}  // namespace
