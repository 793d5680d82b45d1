// The full stage on real game folders: the mod scan and configurations, the
// base folder and its default base.ini, the pack list of the index thread.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>

#include "common/TextEncoding.h"
#include "config/ConfigManager.h"
#include "config/ModInfoText.h"
#include "startup/BackgroundThreads.h"
#include "support/RegistrySandbox.h"
#include "support/TempDir.h"

using namespace modroute;
using testsupport::TempDir;

namespace {

class ConfigManagerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(registry.Active()); }
    // A fresh start of the game in folder, both stages.
    void Start(const std::string& folder) {
        config = std::make_unique<ConfigManager>(folder);
        EXPECT_TRUE(config->FullInitialize());
    }
    std::string FolderNames() const {
        std::string names;
        for (const ModFolder& folder : config->Mods().GetModFolders()) names += folder.name + " ";
        return names;
    }
    // A mod's rules: its file index in probe order, then its [ModConfig] lines.
    std::string Rules(const std::string& mod) const {
        std::string text;
        const ModConfig modConfig = config->GetModConfig(mod).value();
        for (const ResourceRule& rule : modConfig.rules) {
            text += rule.name + "=" + std::to_string(static_cast<unsigned>(rule.mode)) + (rule.isFile ? "f " : "d ");
        }
        return text;
    }
    testsupport::RegistrySandbox registry;
    std::unique_ptr<ConfigManager> config;
};

TEST_F(ConfigManagerTest, ScanListsBaseFirstThenModsAndCreatesBaseOnlyAfterIt) {
    TempDir game("game");
    game.Write("mods\\Blades\\Blades.ini", "[ModInfo]\ntitle=Blades of Dawn\n");
    game.Write("mods\\Blades\\mod.ini", "[ModInfo]\ntitle=Wrong file\n");
    game.MakeFolder("mods\\Plain");
    game.Write("mods\\loose.ini", "[ModInfo]\n");  // a file, not a mod
    Start(game.Path());
    EXPECT_EQ(TempDir::ReadFile(game / "base\\base.ini"), DefaultBaseIniBytes());
    EXPECT_EQ(FolderNames(), "Blades Plain ");  // scanned before base was made
    Start(game.Path());
    EXPECT_EQ(FolderNames(), "base Blades Plain ");
    EXPECT_EQ(config->Mods().GetModFolders()[1].path, game / "mods\\Blades");
    EXPECT_FALSE(config->GetModConfig("base"));
    EXPECT_EQ(config->GetModConfig("Blades").value().title, "Blades of Dawn");
    EXPECT_EQ(config->GetModConfig("Plain").value().author, "未知作者");
    TempDir blocked("blocked");
    blocked.MakeFolder("mods");
    blocked.Write("base", "a file");  // left alone
    Start(blocked.Path());
    EXPECT_FALSE(config->Mods().EnsureBaseFolder());
    EXPECT_EQ(TempDir::ReadFile(blocked / "base"), "a file");
}

TEST_F(ConfigManagerTest, ChineseModSelectedInGbkFindsItsPacksAndRules) {
    TempDir game("游戏");
    game.Write("ModRoute.ini", "[Settings]\nSelectedMod=" + Utf8ToGbk("刀锋") + "\n");  // saved as code page 936
    game.Write("mods\\刀锋\\刀锋.ini", "[ModInfo]\ntitle=锋利的刀\n[ModConfig]\nmusic=0\nwaves.pak=2\n");
    game.MakeFolder("mods\\刀锋\\texture");
    game.Write({{"mods\\刀锋\\waves.pak", "pack"}, {"mods\\刀锋\\包.pvk", "PVK2"}, {"base\\a.pvk", "PVK2"}});
    game.Write("base\\sub.pvk\\b.pvk", "PVK2");  // a folder named like a pack
    config = std::make_unique<ConfigManager>(game.Path());
    ASSERT_TRUE(config->EarlyInitialize());
    EXPECT_FALSE(config->LoadSelectedModResourceRules());  // no configuration before the scan
    // Before the scan the base folder is derived from the game folder, after it taken from the scan.
    for (int stage = 0; stage < 2; ++stage) {
        EXPECT_EQ(PvkIndexFiles(config->GetBaseFolder(), config->GetSelectedModFolder()),
                  (std::vector<std::string>{game / "base\\a.pvk", game / "mods\\刀锋\\包.pvk"}));
        ASSERT_TRUE(config->FullInitialize());
    }
    ASSERT_TRUE(config->LoadSelectedModResourceRules());
    EXPECT_EQ(Rules("刀锋"), "texture=1d waves.pak=2f music=0d ");
    // The rules follow a changed description; a base has no index, only its section counts.
    game.Write({{"mods\\刀锋\\刀锋.ini", "[ModConfig]\ntexture=0\n"}, {"base\\base.ini", "[ModConfig]\nTavren.res=1\n"}});
    game.MakeFolder("base\\music");
    ASSERT_TRUE(config->Mods().LoadModConfig("刀锋") && config->Mods().LoadModConfig("base"));
    EXPECT_EQ(Rules("刀锋"), "texture=0d waves.pak=1f ");
    EXPECT_EQ(Rules("base"), "Tavren.res=1f ");
}

}  // namespace
