// The file hooks inside the running stand-in game: every hooked entry point
// serves a mod's file in place of the game's own, keeps the game folder's
// copy where it wins, never redirects a write, serves pictures through
// virtual handles, and lets go of everything when the library unloads.
#include <gtest/gtest.h>

#include "GameHarness.h"

namespace {

const std::string kBlade = "\xE5\x88\x80";  // 刀

using gamerun::Game;
using gamerun::GameRun;

// A game with the mod Blades selected and the three kinds of files.
class HookTest : public ::testing::Test {
protected:
    void SetUp() override {
        game.InstallOriginalAvi();
        game.Write("ModRoute.ini", "[Settings]\r\nSelectedMod=Blades\r\n");
        game.Write("mods\\Blades\\texture\\modonly.dds", "mod only");
        game.Write("base\\texture\\modonly.dds", "base loses");
        game.Write("base\\texture\\baseonly.dds", "base only");
        game.Write("texture\\both.dds", "game copy");
        game.Write("mods\\Blades\\texture\\both.dds", "mod loses");
        game.Write("mods\\Blades\\texture\\pic.jpg", "0123456789");
        game.Write("mods\\Blades\\texture\\saved.dat", "the mod's own");
        for (const char* folder : {"mods\\Blades\\lib", "base\\lib", "lib"}) {
            gamerun::MakeFolders(game.PathOf(folder));
        }
        gamerun::CopyBinary(L"AVIFIL32_original.dll", game.PathOf("mods\\Blades\\lib\\modlib.dll"));
        gamerun::CopyBinary(L"AVIFIL32_original.dll", game.PathOf("base\\lib\\baselib.dll"));
        gamerun::CopyBinary(L"AVIFIL32_original.dll", game.PathOf("lib\\bothlib.dll"));
        gamerun::CopyBinary(L"AVIFIL32_original.dll", game.PathOf("mods\\Blades\\lib\\bothlib.dll"));
        gamerun::CopyBinary(L"AVIFIL32_original.dll", game.PathOf("mods\\Blades\\lib\\" + kBlade + ".dll"));
    }

    GameRun Play(std::vector<std::string> script) {
        script.insert(script.begin(), "call InitializeTavrenModSystem");
        GameRun run = game.Run(script);
        EXPECT_FALSE(run.timedOut);
        EXPECT_EQ(run.exitCode, 0u) << run.DebugText();
        EXPECT_TRUE(run.exceptions.empty()) << run.DebugText();
        return run;
    }
    // The data field of an open-and-read result line.
    static std::string Data(const std::string& result) {
        const std::size_t start = result.find("data=");
        if (start == std::string::npos) return result;
        return result.substr(start + 5, result.find('\t', start) - start - 5);
    }

    gamerun::ManagerRegistry registry;
    Game game;
};

TEST_F(HookTest, EveryOpenEntryPointServesModBaseAndGameCopies) {
    const char* opens[] = {"createa", "createw", "fopen", "fopen_s", "open"};
    std::vector<std::string> script;
    for (const char* op : opens) {
        for (const char* path : {"texture\\modonly.dds", "texture\\baseonly.dds", "texture\\both.dds"}) {
            script.push_back(std::string(op) + " " + path);
        }
    }
    const GameRun run = Play(script);
    for (const char* op : opens) {
        EXPECT_EQ(Data(run.Result(op, "texture\\modonly.dds")), "mod only") << op;
        EXPECT_EQ(Data(run.Result(op, "texture\\baseonly.dds")), "base only") << op;
        EXPECT_EQ(Data(run.Result(op, "texture\\both.dds")), "game copy") << op;
    }
}

TEST_F(HookTest, LibrariesAreLoadedFromTheModBaseOrGameFolder) {
    const GameRun run = Play({"loadlib lib\\modlib.dll", "loadlibw lib\\baselib.dll", "loadlib lib\\bothlib.dll",
                              "loadlibw lib\\missing.dll", "loadlibw lib\\" + kBlade + ".dll"});
    // A wide name outside ASCII is resolved in full, not through a code page.
    EXPECT_EQ(run.Result("loadlibw", "lib\\" + kBlade + ".dll"),
              "ok\t" + game.PathOf("mods\\Blades\\lib\\" + kBlade + ".dll"));
    EXPECT_EQ(run.Result("loadlib", "lib\\modlib.dll"), "ok\t" + game.PathOf("mods\\Blades\\lib\\modlib.dll"));
    EXPECT_EQ(run.Result("loadlibw", "lib\\baselib.dll"), "ok\t" + game.PathOf("base\\lib\\baselib.dll"));
    EXPECT_EQ(run.Result("loadlib", "lib\\bothlib.dll"), "ok\t" + game.PathOf("lib\\bothlib.dll"));
    // Found nowhere: the caller's own request fails the way the system fails it.
    EXPECT_EQ(run.Result("loadlibw", "lib\\missing.dll"), "fail\terror=126");
}

TEST_F(HookTest, WritesGoWhereTheGameAskedAndAMissFailsAsItWould) {
    const GameRun run = Play({"writea texture\\saved.dat", "createa texture\\nowhere.dds", "attr texture\\nowhere.dds"});
    EXPECT_EQ(run.Result("writea", "texture\\saved.dat"), "ok");
    std::string written;
    ASSERT_TRUE(gamerun::ReadFile(game.PathOf("texture\\saved.dat"), written));
    EXPECT_EQ(written, "written by the game");
    ASSERT_TRUE(gamerun::ReadFile(game.PathOf("mods\\Blades\\texture\\saved.dat"), written));
    EXPECT_EQ(written, "the mod's own");
    // Found nowhere: the system's own answer for the game folder's path.
    EXPECT_EQ(run.Result("createa", "texture\\nowhere.dds"), "fail\terror=2");
    EXPECT_EQ(run.Result("attr", "texture\\nowhere.dds"), "fail\terror=2");
}

TEST_F(HookTest, APictureIsServedFromMemoryThroughAVirtualHandle) {
    const GameRun run = Play({"handles texture\\pic.jpg"});
    EXPECT_EQ(run.Result("handles", "texture\\pic.jpg"),
              "ok\ttype=1\tsize=10/0\tsizeex=10\tinfo=0x80,10,0,1\tread3=012"
              "\tbegin+1000=10/0\tcur-2=8\tread2=89\tend0=10\tatend=1,0\tend-3=7\tread9=789"
              "\tbegin0=0\tcur-1=10\tbegin2=2\tend-4=6\tread1=6\tclose=1\tclose2=0,6");
}

TEST_F(HookTest, RenderJsonComesFromTheModsMapFolder) {
    game.Write("mods\\Blades\\sn03\\render.json", "{\"from\":\"mod\"}");
    game.Write("base\\sn03\\render.json", "{\"from\":\"base\"}");
    const GameRun run = Play({"createa maps\\sn03\\render.json"});
    EXPECT_EQ(Data(run.Result("createa", "maps\\sn03\\render.json")), "{\"from\":\"mod\"}");
}

TEST_F(HookTest, APathOpenedBeforeTheFullInitialisationIsServedFromTheModAfterwards) {
    // Many mods make the full initialisation's scan take a while, so the
    // first open is answered with the early search list (base, game).
    for (int i = 0; i < 300; ++i) game.Write("mods\\Other" + std::to_string(i) + "\\readme.txt", "x");
    game.Write("mods\\Blades\\texture\\hero.dds", "mod hero");
    game.Write("base\\texture\\hero.dds", "base hero");
    const GameRun run = game.Run({"stress 8 40 texture\\hero.dds", "call InitializeTavrenModSystem",
                                  "createa texture\\hero.dds"});
    ASSERT_FALSE(run.timedOut);
    EXPECT_TRUE(run.exceptions.empty());
    const std::string stress = run.Result("stress", "8 40 texture\\hero.dds");
    EXPECT_EQ(stress.substr(0, stress.find("\tseen=")), "ok\tfailures=0\tregressions=0");
    EXPECT_EQ(Data(run.Result("createa", "texture\\hero.dds")), "mod hero");
}

TEST_F(HookTest, VirtualHandlesNeverEqualARealHandle) {
    const GameRun run = Play({"realhandles 3200", "virtualbesidereal 300 texture\\pic.jpg"});
    EXPECT_EQ(run.Result("realhandles", "3200"), "ok\tkept=3200");
    EXPECT_EQ(run.Result("virtualbesidereal", "300 texture\\pic.jpg"), "ok\tcollisions=0\treadable=300\tdistinct=300");
}

TEST_F(HookTest, EightThreadsReadRedirectedFilesWhileTheFullInitialisationRuns) {
    game.Write("base\\music\\theme.ogg", "theme");
    const GameRun run = game.Run({"stress 8 150 texture\\modonly.dds texture\\pic.jpg music\\theme.ogg texture\\both.dds",
                                  "call InitializeTavrenModSystem",
                                  "stress 8 50 texture\\modonly.dds texture\\pic.jpg music\\theme.ogg texture\\both.dds"});
    ASSERT_FALSE(run.timedOut);
    EXPECT_TRUE(run.exceptions.empty());
    EXPECT_EQ(run.outputLines.size(), 4u);
    // Once everything is up, every thread reads exactly the file that wins.
    EXPECT_EQ(run.outputLines.back(),
              "stress\t8 50 texture\\modonly.dds texture\\pic.jpg music\\theme.ogg texture\\both.dds\tok\t"
              "failures=0\tregressions=0\tseen=mod only\tseen=0123456789\tseen=theme\tseen=game copy");
    const std::string early = run.outputLines[1];
    EXPECT_NE(early.find("\tregressions=0\t"), std::string::npos) << early;
}

TEST_F(HookTest, UnloadingTheLibraryRemovesTheHooksAndForgetsVirtualHandles) {
    game.InstallDynamicGame();
    const GameRun run = game.Run({"call InitializeTavrenModSystem", "keep texture\\pic.jpg",
                                  "createa texture\\modonly.dds", "unloadavi",
                                  "readkept", "createa texture\\modonly.dds"},
                                 60000, "TavrenDynamic.exe");
    ASSERT_FALSE(run.timedOut);
    EXPECT_TRUE(run.exceptions.empty()) << run.DebugText();
    EXPECT_EQ(run.Result("keep", "texture\\pic.jpg"), "ok");
    EXPECT_EQ(run.Result("unloadavi", ""), "ok") << run.DebugText();
    // The former virtual handle now goes to the system, which rejects it.
    EXPECT_EQ(run.Result("readkept", ""), "ok\tread=0,6\tclose=0,6");
    EXPECT_EQ(run.outputLines.back(), "createa\ttexture\\modonly.dds\tfail\terror=2");  // no redirection any more
}

TEST(HookFolders, AGameFolderOutsideGbkIsOpenedThroughWideNames) {
    gamerun::ManagerRegistry registry;
    Game game("Zo\xC3\xAB");  // Zoë: code page 936 has no ë
    game.InstallOriginalAvi();
    game.Write("ModRoute.ini", "[Settings]\r\nSelectedMod=Blades\r\n");
    game.Write("mods\\Blades\\texture\\hero.dds", "mod hero");
    game.Write("mods\\Blades\\texture\\pic.jpg", "picture");
    const GameRun run = game.Run({"call InitializeTavrenModSystem", "createa texture\\hero.dds", "fopen texture\\hero.dds",
                                  "open texture\\hero.dds", "createa texture\\pic.jpg"});
    ASSERT_FALSE(run.timedOut);
    for (const char* op : {"createa", "fopen", "open"}) {
        const std::string result = run.Result(op, "texture\\hero.dds");
        EXPECT_NE(result.find("data=mod hero"), std::string::npos) << op << ": " << result;
    }
    EXPECT_NE(run.Result("createa", "texture\\pic.jpg").find("data=picture"), std::string::npos);
}

}  // namespace
