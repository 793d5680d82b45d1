// Resolution against real temporary game folders.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "common/TextEncoding.h"
#include "config/ConfigManager.h"
#include "redirect/ModRouter.h"
#include "support/RegistrySandbox.h"
#include "support/TempDir.h"

using namespace modroute;
using testsupport::TempDir;

namespace {

class RouterTest : public ::testing::Test {
protected:
    // Starts the configuration and the full search path list for the game
    // folder, with the mod selected in ModRoute.ini (UTF-8 name).
    void Start(const std::string& selectedMod, bool autoRes = false) {
        game.Write("ModRoute.ini", "[Settings]\r\nSelectedMod=" + Utf8ToAnsi(selectedMod) + "\r\n");
        if (autoRes) registry.SetDword(L"", L"AutoRes", 1);
        ConfigManager& config = ConfigManager::Instance();
        config.ResetForTesting(game.Path());
        config.EarlyInitialize();
        ModRouter::Instance().ResetForTesting();
        ModRouter::Instance().InitializeEarly();
        ModRouter::Instance().Initialize();
    }
    void TearDown() override {
        ConfigManager::Instance().GetSnDirectoryMap().Clear();
        ModRouter::Instance().ResetForTesting();
        ConfigManager::Instance().ResetForTesting();
    }
    std::string Resolve(const std::string& utf8Path) {
        return AnsiToUtf8(ModRouter::Instance().ResolveFilePath(Utf8ToAnsi(utf8Path)));
    }
    std::vector<std::string> SearchPaths() {
        std::vector<std::string> paths;
        for (const SearchPath& entry : ModRouter::Instance().GetSearchPaths()) paths.push_back(entry.path);
        return paths;
    }

    void SetUp() override { ASSERT_TRUE(registry.Active()); }

    testsupport::RegistrySandbox registry;
    TempDir game{"game"};
};

TEST_F(RouterTest, SearchPathListsFollowTheSelectedMod) {
    game.MakeFolder("mods\\Blades");
    game.MakeFolder("mods\\Base");
    const std::string base = game / "base";

    Start("");
    EXPECT_EQ(SearchPaths(), (std::vector<std::string>{base, game.Path()}));
    Start("base");
    EXPECT_EQ(SearchPaths(), (std::vector<std::string>{base, game.Path()}));
    Start("Base");  // another letter case is a real mod
    EXPECT_EQ(SearchPaths(), (std::vector<std::string>{game / "mods\\Base", base, game.Path()}));
    Start("Blades");
    EXPECT_EQ(SearchPaths(), (std::vector<std::string>{game / "mods\\Blades", base, game.Path()}));
    Start("Missing");
    EXPECT_EQ(SearchPaths(), (std::vector<std::string>{base, game.Path()}));

    // The early list holds base and game folder, even before they exist.
    ModRouter::Instance().InitializeEarly();
    EXPECT_EQ(SearchPaths(), (std::vector<std::string>{base, game.Path()}));
}

TEST_F(RouterTest, ChineseGameAndModFoldersResolve) {
    TempDir chinese("\xE6\xB8\xB8\xE6\x88\x8F");                       // 游戏
    const std::string mod = "\xE6\xB5\x8B\xE8\xAF\x95\xE6\xA8\xA1\xE7\xBB\x84";  // 测试模组
    chinese.Write("mods\\" + mod + "\\texture\\hero.dds", "mod");
    chinese.Write("ModRoute.ini", "\xEF\xBB\xBF[Settings]\nSelectedMod=" + mod + "\n");  // UTF-8 with a BOM
    ConfigManager& config = ConfigManager::Instance();
    config.ResetForTesting(chinese.Path());
    config.EarlyInitialize();
    EXPECT_EQ(config.GetSelectedMod(), mod);
    ModRouter::Instance().ResetForTesting();
    ModRouter::Instance().Initialize();
    EXPECT_EQ(SearchPaths().front(), chinese / ("mods\\" + mod));
    EXPECT_EQ(Resolve("texture\\hero.dds"), chinese / ("mods\\" + mod + "\\texture\\hero.dds"));
}

TEST_F(RouterTest, GameFolderWinsThenModThenBase) {
    game.Write("texture\\both.dds", "game");
    game.Write("mods\\Blades\\texture\\both.dds", "mod");
    game.Write("mods\\Blades\\texture\\modonly.dds", "mod");
    game.Write("base\\texture\\modonly.dds", "base");
    game.Write("base\\texture\\baseonly.dds", "base");
    Start("Blades");
    EXPECT_EQ(Resolve("texture\\both.dds"), game / "texture\\both.dds");
    EXPECT_EQ(Resolve("texture/modonly.dds"), game / "mods\\Blades\\texture\\modonly.dds");
    EXPECT_EQ(Resolve(".\\texture\\baseonly.dds"), game / "base\\texture\\baseonly.dds");
    // Nobody supplies it: the clean relative form, the same from the cache.
    EXPECT_EQ(Resolve("\\texture//nowhere.dds"), "texture\\nowhere.dds");
    EXPECT_EQ(Resolve("texture\\nowhere.dds"), "texture\\nowhere.dds");
    EXPECT_EQ(Resolve(""), "");
    EXPECT_EQ(Resolve("./"), "");
}

TEST_F(RouterTest, SpecialFilesPreferTheModAndBaseFolders) {
    game.Write("maps\\sn01\\sn01.wp", "game");
    game.Write("base\\maps\\sn01\\sn01.wp", "base");
    game.Write("maps\\sn02\\a_.pst", "game");
    Start("");
    EXPECT_EQ(Resolve("maps\\sn01\\sn01.wp"), game / "base\\maps\\sn01\\sn01.wp");
    EXPECT_EQ(Resolve("maps\\sn02\\a_.pst"), game / "maps\\sn02\\a_.pst");  // the game folder is still searched
}

TEST_F(RouterTest, RootFilesStayInTheGameFolder) {
    game.Write("config.ini", "game");
    game.Write("mods\\Blades\\config.ini", "mod");
    game.Write("mods\\Blades\\server.cfg", "mod");
    Start("Blades");
    EXPECT_EQ(Resolve("config.ini"), game / "config.ini");
    EXPECT_FALSE(ModRouter::Instance().ShouldRedirect("config.ini"));
    EXPECT_FALSE(ModRouter::Instance().ShouldRedirect("server.cfg"));  // root file even when the game lacks it
}

TEST_F(RouterTest, AbsolutePathsAreNeverJoinedToASearchRoot) {
    game.Write("mods\\Blades\\texture\\a.dds", "mod");
    game.Write("texture\\b.dds", "game");
    Start("Blades");
    const std::string inGame = game / "texture\\b.dds";
    EXPECT_EQ(Resolve(inGame), inGame);
    const std::string missing = game / "texture\\a.dds";  // only the mod has it
    EXPECT_EQ(Resolve(missing), missing);
}

TEST_F(RouterTest, ShouldRedirectAnswersWithoutCaching) {
    game.Write("texture\\game.dds", "game");
    game.Write("mods\\Blades\\texture\\mod.dds", "mod");
    game.Write("base\\music\\base.ogg", "base");
    Start("Blades");
    ModRouter& router = ModRouter::Instance();
    EXPECT_FALSE(router.ShouldRedirect("texture\\game.dds"));
    EXPECT_TRUE(router.ShouldRedirect("texture\\mod.dds"));
    EXPECT_TRUE(router.ShouldRedirect("music/base.ogg"));
    EXPECT_FALSE(router.ShouldRedirect("texture\\none.dds"));
    EXPECT_FALSE(router.ShouldRedirect(".."));
    EXPECT_FALSE(router.ShouldRedirect(""));
    game.Write("mods\\Blades\\texture\\late.dds", "mod");
    EXPECT_TRUE(router.ShouldRedirect("texture\\late.dds"));

    Start("");  // without a mod: any path under a base resource folder
    EXPECT_TRUE(router.ShouldRedirect("texture\\none.dds"));
    EXPECT_FALSE(router.ShouldRedirect("Texture\\none.dds"));
    EXPECT_FALSE(router.ShouldRedirect("ddfix_assets\\x"));
}

TEST_F(RouterTest, RenderJsonIsLookedUpUnderTheMapFolderOfEachRoot) {
    game.Write("base\\sn03\\render.json", "base");
    game.Write("mods\\Blades\\Dune\\render.json", "mod");
    Start("Blades", /*autoRes=*/true);
    ConfigManager::Instance().GetSnDirectoryMap().Set("SN05", "Dune");
    EXPECT_EQ(Resolve("maps\\sn03\\render.json"), game / "base\\sn03\\render.json");
    EXPECT_EQ(Resolve("SN05\\render.json"), game / "mods\\Blades\\Dune\\render.json");
    // Nowhere: the caller's own path comes back unchanged.
    EXPECT_EQ(Resolve("maps//sn09\\render.json"), "maps//sn09\\render.json");
}

TEST_F(RouterTest, MapIdsAreRewrittenOnlyWithAutoResAndAFilledMap) {
    game.Write("mods\\Blades\\Dune\\Dune.wp", "mod");
    game.Write("mods\\Blades\\Dune.pak", "mod");
    game.Write("base\\sn01\\sn01.wp", "base");
    Start("Blades", /*autoRes=*/false);
    ConfigManager::Instance().GetSnDirectoryMap().Set("SN01", "Dune");
    EXPECT_EQ(Resolve("sn01\\sn01.wp"), game / "base\\sn01\\sn01.wp");  // AutoRes off: no rewrite

    Start("Blades", /*autoRes=*/true);
    EXPECT_EQ(Resolve("sn01\\sn01.wp"), game / "base\\sn01\\sn01.wp");  // map still empty
    ConfigManager::Instance().GetSnDirectoryMap().Set("SN01", "Dune");
    ModRouter::Instance().ResetForTesting();
    ModRouter::Instance().Initialize();
    EXPECT_EQ(Resolve("sn01\\sn01.wp"), game / "mods\\Blades\\Dune\\Dune.wp");
    EXPECT_EQ(Resolve("SN01.pak"), game / "mods\\Blades\\Dune.pak");
    EXPECT_EQ(Resolve("maps\\sn01x.txt"), "maps\\sn01x.txt");
}

TEST_F(RouterTest, FirstAnswersStayWhenTheDiskChanges) {
    game.Write("base\\texture\\a.dds", "base");
    Start("Blades");
    ModRouter& router = ModRouter::Instance();
    EXPECT_EQ(Resolve("texture\\a.dds"), game / "base\\texture\\a.dds");
    EXPECT_EQ(Resolve("texture\\new.dds"), "texture\\new.dds");
    const std::uint64_t probes = router.ProbeCount();
    game.Write("texture\\a.dds", "game");
    game.Write("base\\texture\\new.dds", "base");
    EXPECT_EQ(Resolve("texture\\a.dds"), game / "base\\texture\\a.dds");
    EXPECT_EQ(Resolve("texture\\new.dds"), "texture\\new.dds");
    EXPECT_EQ(router.ProbeCount(), probes);  // answered from the cache, no disk access
}

TEST_F(RouterTest, BaseAndGameFolderBeingTheSameStringIsListedOnce) {
    // A game folder named base.net with neither base nor mods gets the root
    // entry "base", whose folder is the game folder itself.
    TempDir sameAsBase("base.net");
    ConfigManager& config = ConfigManager::Instance();
    config.ResetForTesting(sameAsBase.Path());
    config.EarlyInitialize();
    config.FullInitialize();
    ASSERT_EQ(config.GetBaseFolder().utf8, sameAsBase.Path());
    ModRouter::Instance().ResetForTesting();
    ModRouter::Instance().Initialize();
    EXPECT_EQ(SearchPaths(), (std::vector<std::string>{sameAsBase.Path()}));
    ModRouter::Instance().InitializeEarly();
    EXPECT_EQ(SearchPaths(), (std::vector<std::string>{sameAsBase.Path(), sameAsBase.Path()}));
}

TEST_F(RouterTest, ResolvingThreadsSurviveRepeatedRebuilds) {
    game.Write("mods\\Blades\\texture\\m.dds", "mod");
    for (int i = 0; i < 50; ++i) game.Write("base\\texture\\b" + std::to_string(i) + ".dds", "base");
    Start("Blades");
    ModRouter& router = ModRouter::Instance();
    // Answered once from the full list; the early list that the rebuilds
    // publish in between lacks the mod folder.
    router.ResolveFilePath("texture\\m.dds");
    std::atomic<bool> stop{false};
    std::atomic<int> wrong{0};
    std::vector<std::thread> resolvers;
    for (int t = 0; t < 4; ++t) {
        resolvers.emplace_back([&, t] {
            for (int round = 0; !stop.load(); ++round) {
                const std::string name = "texture\\b" + std::to_string((round + t) % 50) + ".dds";
                if (router.ResolveFilePath(name) != Utf8ToAnsi(game / ("base\\" + name))) ++wrong;
                if (router.ResolveFilePath("texture\\m.dds") != Utf8ToAnsi(game / "mods\\Blades\\texture\\m.dds")) {
                    ++wrong;
                }
            }
        });
    }
    for (int i = 0; i < 300; ++i) {
        router.Initialize();
        router.InitializeEarly();
        router.Initialize();
    }
    stop = true;
    for (std::thread& resolver : resolvers) resolver.join();
    EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
