// The [ModInfo] readers, the selected mod reader and the name rules, over
// bytes; the fuzz targets check their invariants on any input.
#include <gtest/gtest.h>

#include "common/TextEncoding.h"
#include "config/ModInfoText.h"
#include "config/SettingsText.h"

using namespace modroute;

namespace {

std::string Describe(const ModInfo& m) {
    return m.title + "|" + m.author + "|" + m.version + "|" + m.info + "|" + m.image + "|" + m.type + "|" +
           m.folderName + "|" + m.website + "|" + m.contact;
}

TEST(ModInfoText, ReadersDefaultsAndSectionRules) {
    ModInfo info;
    ParseModInfoText("title=Before\n[ModInfo]\r\n  title =  刀锋 \r\n; author=Comment\r\ninfo=Sharp\r\n"
                     "description=Swords\r\nimage=pics//a.jpg\r\ntype=\xB5\xB6\r\n[ModConfig]\r\ntitle=After\r\n",
                     info, "Blades");
    EXPECT_EQ(Describe(info), "刀锋|未知作者|1.0.0|Swords|pics\\a.jpg||Blades||");  // type is not UTF-8
    // A file read as saved: the byte-order mark before "[ModInfo]" goes, code page 936 becomes UTF-8.
    ModInfo read;
    ParseModInfoText(DescriptionFileText("\xEF\xBB\xBF[ModInfo]\ntitle=Marked\n", GbkToUtf8), read, "Blades");
    EXPECT_EQ(read.title, "Marked");
    ParseModInfoText(DescriptionFileText("[ModInfo]\nauthor=\xB5\xB6\xB7\xE6\n", GbkToUtf8), read, "Blades");
    EXPECT_EQ(read.author, "刀锋");
    // The raw reader trims the line, the scan's reader does not.
    ReadModInfoText("  [ModInfo]  \ntitle=Indented\n", read);
    EXPECT_EQ(read.title, "Indented");
    EXPECT_EQ(Describe(DefaultBaseInfo()), "BASE|Orbisoft|9.0.7|基础资源文件|info.jpg|官方原版|||");
    ModInfo missing;
    SetMissingFileInfo(missing, "Tavren", true);
    EXPECT_EQ(Describe(missing), "Tavren|Orbisoft|1.0.0||info.jpg||Tavren||");
}

TEST(SettingsText, SelectedModInUtf8WhateverTheFileWasSavedAs) {
    const std::string utf8 = "\xE5\x88\x80\xE9\x94\x8B", gbk = "\xB5\xB6\xB7\xE6";  // 刀锋
    using Readings = std::vector<std::string>;
    const std::pair<std::string, Readings> cases[] = {
        {"[Settings]\r\nSelectedMod=" + gbk + "\r\n", {utf8}},           // no mark: code page 936
        {"\xEF\xBB\xBF[Settings]\nSelectedMod=" + gbk + "\n", {}},      // marked as UTF-8 but is not
        {"[Settings]\nSelectedMod=\xD1\xA9\xC9\xBD\n", {"\xD1\xA9\xC9\xBD", "雪山"}},  // either, UTF-8 first
        {"[settings]\nSelectedMod=Blades\n", {}},
        {"[Settings]\nselectedmod=Blades\n", {}},
        {"[Settings]\nSelectedMod=A\n[Other]\nSelectedMod=B\n", {"A"}},
        {" \t[Settings]  \r\n  SelectedMod = A=b ; the sword mod\nSelectedMod=Bla;des\n", {"Bla"}},  // the last wins
    };
    for (const auto& [text, readings] : cases) EXPECT_EQ(SelectedModReadings(text, GbkToUtf8), readings) << text;
    for (const char* name : {"Blades.2024", "\xE5\x88\x80"}) EXPECT_TRUE(IsPlainFolderName(name)) << name;
    for (const char* name : {"..", "a/b", "C:x"}) EXPECT_FALSE(IsPlainFolderName(name)) << name;
}

}  // namespace
