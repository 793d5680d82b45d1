// The redirector in the stand-in game, asked through the exported path
// functions: which folder serves a game path once the full initialisation ran.
#include <gtest/gtest.h>

#include "GameHarness.h"

namespace {

using gamerun::Game;
using gamerun::GameRun;

const std::string kChineseMod = "\xE6\xB5\x8B\xE8\xAF\x95\xE6\xA8\xA1\xE7\xBB\x84";  // 测试模组
const std::string kChineseGame = "\xE5\xA1\x94\xE6\x96\x87";                         // 塔文

TEST(Redirect, ChineseModSelectedInAUtf8SettingsFileServesItsFiles) {
    gamerun::ManagerRegistry registry;
    Game game(kChineseGame);
    game.InstallOriginalAvi();
    game.Write("ModRoute.ini", "\xEF\xBB\xBF; saved as UTF-8\r\n[Settings]\r\nSelectedMod = " + kChineseMod + "\r\n");
    game.Write("mods\\" + kChineseMod + "\\texture\\hero.dds", "mod");
    game.Write("base\\texture\\hero.dds", "base");
    game.Write("base\\music\\theme.ogg", "base");
    game.Write("texture\\own.dds", "game");
    const GameRun run = game.Run({
        "call InitializeTavrenModSystem",
        "call ResolvePath texture\\hero.dds",
        "call ResolvePath music/theme.ogg",
        "call ResolvePath texture\\own.dds",
        "call ResolvePath texture\\nowhere.dds",
        "call ShouldRedirect texture\\hero.dds",
        "call ShouldRedirect texture\\own.dds",
    });
    ASSERT_FALSE(run.timedOut);
    ASSERT_EQ(run.outputLines.size(), 8u) << run.DebugText();
    EXPECT_EQ(run.outputLines[1], "call\tInitializeTavrenModSystem\tok\tresult=true");
    EXPECT_EQ(run.outputLines[2], "call\tResolvePath texture\\hero.dds\tok\t" +
                                      game.PathOf("mods\\" + kChineseMod + "\\texture\\hero.dds"));
    EXPECT_EQ(run.outputLines[3], "call\tResolvePath music/theme.ogg\tok\t" + game.PathOf("base\\music\\theme.ogg"));
    EXPECT_EQ(run.outputLines[4], "call\tResolvePath texture\\own.dds\tok\t" + game.PathOf("texture\\own.dds"));
    EXPECT_EQ(run.outputLines[5], "call\tResolvePath texture\\nowhere.dds\tok\ttexture\\nowhere.dds");
    EXPECT_EQ(run.outputLines[6], "call\tShouldRedirect texture\\hero.dds\tok\ttrue");
    EXPECT_EQ(run.outputLines[7], "call\tShouldRedirect texture\\own.dds\tok\tfalse");
}

TEST(Redirect, BeforeTheFullInitialisationTheBaseFolderAlreadyServes) {
    gamerun::ManagerRegistry registry;
    Game game;
    game.InstallOriginalAvi();
    game.Write("base\\texture\\hero.dds", "base");
    // Asked at once from the game's main thread: the early list (base, game)
    // is in place when the DLL has loaded.
    const GameRun run = game.Run({"call ResolvePath texture\\hero.dds"});
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.Result("call", "ResolvePath texture\\hero.dds"), "ok\t" + game.PathOf("base\\texture\\hero.dds"));
    const std::string text = run.DebugText();
    EXPECT_NE(text.find("文件重定向系统早期初始化完成"), std::string::npos) << text;
}

}  // namespace

namespace {

// The settings file and the mod must be found whatever the game folder is
// called; ResolvePath answers in code page 936, where lossy is the best it can do.
void ExpectSelectedModServes(const std::string& gameFolderName, const std::string& folderAsGbkShows) {
    gamerun::ManagerRegistry registry;
    Game game(gameFolderName);
    game.InstallOriginalAvi();
    game.Write("ModRoute.ini", "[Settings]\r\nSelectedMod=Blades\r\n");
    game.Write("mods\\Blades\\texture\\hero.dds", "mod");
    game.Write("base\\music\\theme.ogg", "base");
    const GameRun run = game.Run({
        "call InitializeTavrenModSystem",
        "call ShouldRedirect texture\\hero.dds",
        "call ResolvePath texture\\hero.dds",
        "call ResolvePath music\\theme.ogg",
    });
    ASSERT_FALSE(run.timedOut);
    std::string folder = game.Folder();
    folder.replace(folder.size() - gameFolderName.size(), gameFolderName.size(), folderAsGbkShows);
    EXPECT_EQ(run.Result("call", "ShouldRedirect texture\\hero.dds"), "ok\ttrue") << run.DebugText();
    EXPECT_EQ(run.Result("call", "ResolvePath texture\\hero.dds"), "ok\t" + folder + "\\mods\\Blades\\texture\\hero.dds");
    EXPECT_EQ(run.Result("call", "ResolvePath music\\theme.ogg"), "ok\t" + folder + "\\base\\music\\theme.ogg");
}

TEST(Redirect, GameFolderEndingInABackslashTrailByteServesTheSelectedMod) {
    const std::string sincere = "\xE5\xA1\x94\xE6\x96\x87\xE8\xAA\xA0";  // 塔文誠: 誠 ends in 0x5C in GBK
    ExpectSelectedModServes(sincere, sincere);
}

TEST(Redirect, GameFolderOutsideGbkServesTheSelectedMod) {
    ExpectSelectedModServes("Zo\xC3\xAB", "Zo?");  // Zoë: no GBK form for ë
}

}  // namespace
