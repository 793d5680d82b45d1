// The two [ModInfo] readers and the root entry name, over bytes.
#include <gtest/gtest.h>

#include "config/ModInfoText.h"

using namespace modroute;

namespace {

ModInfo Parse(const std::string& bytes) {
    ModInfo info;
    ParseModInfoText(bytes, info, "Blades");
    return info;
}

std::string ReadTitle(const std::string& bytes) {
    ModInfo info;
    ReadModInfoText(bytes, info);
    return info.title;
}

TEST(ModInfoText, ParseResetsToTheModDefaultsAndReadsOnlyModInfo) {
    const ModInfo defaults = Parse("title=Before\n[ModConfig]\ntitle=Ignored\n");
    EXPECT_EQ(defaults.title + "|" + defaults.folderName + "|" + defaults.version + "|" + defaults.image + "|" +
                  defaults.author + "|" + defaults.info + defaults.type + defaults.website + defaults.contact,
              "Blades|Blades|1.0.0|info.jpg|未知作者|");

    const ModInfo info = Parse(
        "[ModInfo]\r\n  title =  刀锋 \r\n  ; author=Comment\r\n# version=Comment\r\nno equals sign\r\n"
        "info=Sharp swords\r\ndescription=Swords\r\nimage=pics//cover/a.jpg\r\nwebsite=w\r\ncontact=c\r\n"
        "type=\xB5\xB6\r\n[ModConfig]\r\ntitle=After\r\n");
    EXPECT_EQ(info.title, "刀锋");
    EXPECT_EQ(info.author, "未知作者");
    EXPECT_EQ(info.info, "Swords");  // "description" sets info too; the later line wins
    EXPECT_EQ(info.image, "pics\\cover\\a.jpg");
    EXPECT_EQ(info.type, "");  // not UTF-8
}

TEST(ModInfoText, SectionLinesFollowEachReadersOwnRule) {
    // A byte-order mark stays in front of "[", so that section is not entered;
    // after a first comment line, as in the default base.ini, it is.
    EXPECT_EQ(Parse("\xEF\xBB\xBF[ModInfo]\ntitle=Marked\n").title, "Blades");
    EXPECT_EQ(Parse("\xEF\xBB\xBF# comment\n[ModInfo]\ntitle=Marked\n").title, "Marked");
    EXPECT_EQ(Parse("  [ModInfo]\ntitle=Indented\n").title, "Blades");
    EXPECT_EQ(Parse("[ ModInfo ]\ntitle=Spaced\n").title, "Spaced");
    EXPECT_EQ(ReadTitle("  [ModInfo]  \ntitle=Indented\n"), "Indented");
    EXPECT_EQ(ReadTitle("[ ModInfo ]\ntitle=Spaced\n"), "");

    // The raw reader keeps the bytes and the caller's other fields.
    ModInfo info;
    info.title = "Caller";
    ReadModInfoText("[ModInfo]\nauthor=刀锋\nimage=pics//a.jpg\ndescription=no\n", info);
    EXPECT_EQ(info.title + "|" + info.author + "|" + info.image + "|" + info.info, "Caller|刀锋|pics//a.jpg|");
}

TEST(ModInfoText, EveryDefaultDescriptionHasItsOwnTexts) {
    auto describe = [](const ModInfo& m) {
        return m.title + "|" + m.author + "|" + m.version + "|" + m.info + "|" + m.image + "|" + m.type + "|" +
               m.folderName + "|" + m.website + "|" + m.contact;
    };
    EXPECT_EQ(describe(DefaultBaseInfo()), "BASE|Orbisoft|9.0.7|基础资源文件|info.jpg|官方原版|||");
    EXPECT_EQ(describe(DefaultModFolderInfo("刀锋")), "刀锋|未知作者|1.0.0|自定义MOD资源|info.jpg||||");
    ModInfo missing;
    missing.info = "stale";
    SetMissingFileInfo(missing, "Blades", false);
    EXPECT_EQ(describe(missing), "Blades|未知作者|1.0.0||info.jpg||Blades||");
    SetMissingFileInfo(missing, "Tavren", true);
    EXPECT_EQ(describe(missing), "Tavren|Orbisoft|1.0.0||info.jpg||Tavren||");
    ModInfo root;
    SetRootEntryInfo(root, "Blades");
    EXPECT_EQ(describe(root), "Blades|Orbisoft|9.0.7|基于 Blades 文件夹的游戏原版结构||1|||");
}

TEST(ModInfoText, RootEntryNameDropsOnlyAShortAlphanumericExtension) {
    const std::pair<const char*, const char*> cases[] = {
        {"Blades.net", "Blades"}, {"Blades.2024.1", "Blades.2024"}, {"Blades.Abc4", "Blades"},
        {".x", ".x"},             {"Blades.final", "Blades.final"}, {"Blades.v-2", "Blades.v-2"},
    };
    for (const auto& [folder, root] : cases) EXPECT_EQ(RootEntryName(folder), root) << folder;
}

}  // namespace
