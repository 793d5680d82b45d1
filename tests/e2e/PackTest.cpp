// Packs inside the running stand-in game: files of the selected mod's packs
// served through every open, searches over them, the preload levels, and
// readers racing the pack index thread.
#include <gtest/gtest.h>

#include <windows.h>

#include "GameHarness.h"
#include "GamePacks.h"

namespace {

using gamerun::Game;
using gamerun::GameRun;

constexpr std::uint64_t kMiB = 1024 * 1024;

using e2e::WritePack;

std::string Data(const std::string& result) {
    const std::size_t start = result.find("data=");
    if (start == std::string::npos) return result;
    return result.substr(start + 5, result.find('\t', start) - start - 5);
}

class PackTest : public ::testing::Test {
protected:
    void SetUp() override {
        game.InstallOriginalAvi();
        game.Write("ModRoute.ini", "[Settings]\r\nSelectedMod=Blades\r\n");
        WritePack(game, "mods\\Blades\\texture.pvk",
                  {{"texture", "hero.dds", "packed hero"},
                   {"texture\\ui", "button.dds", "packed button"},
                   {"maps", "sn01.wp", "map one"},
                   {"maps\\sub", "deep.wp", "deep map"}});
        game.Write("texture\\hero.dds", "the game's own hero");
        game.Write("texture\\loose.dds", "loose in the game folder");
    }
    GameRun Play(const std::vector<std::string>& script) {
        GameRun run = game.Run(script);
        EXPECT_FALSE(run.timedOut);
        EXPECT_TRUE(run.exceptions.empty()) << run.DebugText();
        EXPECT_NE(run.DebugText().find("虚拟文件系统初始化完成"), std::string::npos) << run.DebugText();
        return run;
    }

    gamerun::ManagerRegistry registry;
    Game game;
};

TEST_F(PackTest, PackedFilesAreServedThroughEveryOpenAndBeatEvenTheGameFolder) {
    const GameRun run = Play({"createa texture\\hero.dds", "createw texture\\ui\\button.dds", "fopen texture\\hero.dds",
                              "fopen_s TEXTURE\\UI\\BUTTON.DDS", "open texture\\hero.dds",
                              "call ResolvePath texture/hero.dds", "createa texture\\loose.dds",
                              "call GetModFileSize texture\\ui\\button.dds", "call ReadModFile maps\\sub\\deep.wp"});
    EXPECT_EQ(run.Result("call", "GetModFileSize texture\\ui\\button.dds"), "ok\t13");
    const std::string read = run.Result("call", "ReadModFile maps\\sub\\deep.wp");
    EXPECT_EQ(read.substr(0, read.find("\tfnv=")), "ok\tresult=8\tbuffer=set");
    EXPECT_EQ(read.substr(read.find("\thead=")), "\thead=deep map");
    EXPECT_EQ(run.Result("createa", "texture\\hero.dds"), "ok\tsize=11\tdata=packed hero\thead=pack");
    EXPECT_EQ(Data(run.Result("createw", "texture\\ui\\button.dds")), "packed button");
    EXPECT_EQ(run.Result("fopen", "texture\\hero.dds"), "ok\tsize=11\tdata=packed hero\ttell=11");
    EXPECT_EQ(run.Result("fopen_s", "TEXTURE\\UI\\BUTTON.DDS"), "ok\tsize=13\tdata=packed button\ttell=13");
    EXPECT_EQ(run.Result("open", "texture\\hero.dds"), "ok\tsize=11\tdata=packed hero\ttell=11");
    EXPECT_EQ(run.Result("call", "ResolvePath texture/hero.dds"), "ok\t[VFS]texture\\hero.dds");
    EXPECT_EQ(Data(run.Result("createa", "texture\\loose.dds")), "loose in the game folder");
}

TEST_F(PackTest, SearchesListPackedFilesSubFoldersAndFolders) {
    const GameRun run = Play({"find maps\\*.wp", "find texture\\ui", "find texture\\*", "find texture\\nothing*"});
    EXPECT_EQ(run.Result("find", "maps\\*.wp"), "ok\tsn01.wp,deep.wp");
    EXPECT_EQ(run.Result("find", "texture\\ui"), "ok\tui/");
    EXPECT_EQ(run.Result("find", "texture\\*"), "ok\thero.dds,button.dds");
    // Nothing packed matches: the disk answers (the game folder has texture\).
    EXPECT_EQ(run.Result("find", "texture\\nothing*"), "fail\terror=2");
}

TEST(PackPreload, LevelsTakePacksUnderTheirLimitAndSystemPacksAlways) {
    const struct {
        DWORD level;
        const char* small;  // 60 MiB
        const char* large;  // 120 MiB
    } cases[] = {
        {0, "fail", "fail"},
        {1, "fail", "fail"},
        {2, "ok", "fail"},
    };
    for (const auto& c : cases) {
        gamerun::ManagerRegistry registry;
        registry.SetDword(L"", L"EnablePreloadPVK", c.level);
        Game game;
        game.InstallOriginalAvi();
        WritePack(game, "base\\small.pvk", {{"s", "small.txt", "small"}}, 60 * kMiB);
        WritePack(game, "base\\large.pvk", {{"l", "large.txt", "large"}}, 120 * kMiB);
        WritePack(game, "base\\waves.pvk", {{"w", "waves.txt", "waves"}}, 200 * kMiB);
        // Once the packs are gone from the disk, only what was preloaded can still be read.
        const GameRun run = game.Run({"sleep 300", "delete base\\small.pvk", "delete base\\large.pvk",
                                      "delete base\\waves.pvk", "createa s\\small.txt", "createa l\\large.txt",
                                      "createa w\\waves.txt"});
        ASSERT_FALSE(run.timedOut);
        auto preloaded = [&](const std::string& path) {
            return run.Result("createa", path).substr(0, 4) == "ok\ts" ? "ok" : "fail";
        };
        EXPECT_STREQ(preloaded("w\\waves.txt"), c.level == 0 ? "fail" : "ok") << c.level;
        EXPECT_STREQ(preloaded("s\\small.txt"), c.small) << c.level;
        EXPECT_STREQ(preloaded("l\\large.txt"), c.large) << c.level;
    }
}

TEST(PackIndexThread, ReadersRaceTheRegistrationOfLargePacks) {
    gamerun::ManagerRegistry registry;
    registry.SetDword(L"", L"EnablePreloadPVK", 1);
    Game game;
    game.InstallOriginalAvi();
    game.Write("ModRoute.ini", "[Settings]\r\nSelectedMod=Blades\r\n");
    std::vector<std::string> stressPaths;
    for (int p = 0; p < 12; ++p) {
        const std::string folder = "p" + std::to_string(p);
        // Above the level's limit: registered by the pack index thread, read on demand.
        WritePack(game, "mods\\Blades\\" + folder + ".pvk", {{folder, "f.txt", "pack " + folder}}, 60 * kMiB);
        stressPaths.push_back(folder + "\\f.txt");
    }
    std::string stress = "stress 8 60";
    for (const std::string& path : stressPaths) stress += " " + path;
    const GameRun run = game.Run({stress, "sleep 300", stress, "find p3\\*"});
    ASSERT_FALSE(run.timedOut);
    EXPECT_TRUE(run.exceptions.empty());
    ASSERT_EQ(run.outputLines.size(), 5u);
    // Early opens may fail before a pack is registered; none reads wrong bytes or goes stale.
    EXPECT_NE(run.outputLines[1].find("\tregressions=0\t"), std::string::npos) << run.outputLines[1];
    std::string expected = "ok\tfailures=0\tregressions=0";
    for (int p = 0; p < 12; ++p) expected += "\tseen=pack p" + std::to_string(p);
    EXPECT_EQ(run.Result("stress", stress.substr(7)), run.outputLines[1].substr(run.outputLines[1].find("\tok") + 1));
    EXPECT_EQ(run.outputLines[3].substr(run.outputLines[3].find("\tok") + 1), expected);
    EXPECT_EQ(run.Result("find", "p3\\*"), "ok\tf.txt");
}

}  // namespace
