// AutoRes in the running stand-in game: the selected mod's map index written
// by each mode, and the game's snNN paths led to the mod's free-named map
// folders and packs; the base index untouched when base is selected.
#include <gtest/gtest.h>

#include "GameHarness.h"
#include "support/ResBytes.h"

namespace {

using gamerun::Game;
using gamerun::GameRun;
using testsupport::AsString;

std::string DesFile(const std::string& name) {
    return "GModel Description File V1.0\r\n" + name + "\r\nSceneObjects 3\r\n";
}

std::string ReadBytes(const std::string& path) {
    std::string bytes;
    gamerun::ReadFile(path, bytes);
    return bytes;
}

// The map names of an index, in file order, as "name#number".
std::string Listed(const std::string& res) {
    std::string listed;
    for (const auto& [name, number] : testsupport::ListedMaps(res)) {
        listed += (listed.empty() ? "" : ",") + name + "#" + std::to_string(number);
    }
    return listed;
}

using testsupport::StoredCount;

// A game whose base index lists three game maps, the mod Maps selected.
class AutoResGameTest : public ::testing::Test {
protected:
    void SetUp() override {
        game.InstallOriginalAvi();
        game.Write("ModRoute.ini", "[Settings]\r\nSelectedMod=Maps\r\n");
        game.Write("base\\Tavren.res", kBaseIndex);
        game.Write("base\\sn02\\x", "base sn02");
        game.Write("mods\\Maps\\sn01\\sn01.des", DesFile("Dark Forest"));
        game.Write("mods\\Maps\\sn01\\x", "from sn01");
        game.Write("mods\\Maps\\Abbey\\abbey.gmb", "g");
        game.Write("mods\\Maps\\Abbey\\x", "from Abbey");
        game.Write("mods\\Maps\\Castle.pvk", "PVK2");
    }
    GameRun Play(DWORD mode, const std::vector<std::string>& script) {
        registry.SetDword(L"", L"AutoRes", mode);
        std::vector<std::string> lines = {"call InitializeTavrenModSystem"};
        lines.insert(lines.end(), script.begin(), script.end());
        GameRun run = game.Run(lines);
        EXPECT_FALSE(run.timedOut);
        EXPECT_EQ(run.exitCode, 0u) << run.DebugText();
        EXPECT_TRUE(run.exceptions.empty()) << run.DebugText();
        return run;
    }
    std::string ModRes() const { return ReadBytes(game.PathOf("mods\\Maps\\Tavren.res")); }
    static std::string Data(const std::string& result) {
        const std::size_t start = result.find("data=");
        if (start == std::string::npos) return result;
        return result.substr(start + 5, result.find('\t', start) - start - 5);
    }

    const std::string kBaseIndex = AsString(testsupport::GameIndex({"Plains", "Harbor", "Citadel"}));
    gamerun::ManagerRegistry registry;
    Game game;
};

TEST_F(AutoResGameTest, RebuildLeadsSnPathsToTheFreeNamedFolderAndPack) {
    const GameRun run = Play(1, {"createa sn02\\x", "attr sn02", "call ResolvePath sn03\\x", "createa sn01\\x"});
    EXPECT_EQ(Listed(ModRes()), "Dark Forest#1,Abbey#2,Castle#3");
    EXPECT_EQ(StoredCount(ModRes()), 713);
    EXPECT_EQ(Data(run.Result("createa", "sn02\\x")), "from Abbey");
    EXPECT_EQ(run.Result("attr", "sn02"), "ok\t0x10\tdir");
    EXPECT_EQ(run.Result("call", "ResolvePath sn03\\x"), "ok\tCastle\\x");
    // The sn folder is the game's to find under its own name.
    EXPECT_EQ(Data(run.Result("createa", "sn01\\x")), "from sn01");
    EXPECT_EQ(ReadBytes(game.PathOf("base\\Tavren.res")), kBaseIndex);
}

TEST_F(AutoResGameTest, SearchesFollowTheRewriteToTheDisk) {
    game.Write("mods\\Maps\\Abbey\\y.txt", "y");
    game.Write("sn02\\z", "the game folder's own sn02");
    const GameRun run = Play(1, {"find maps\\sn02\\*.gmb", "find mods\\Maps\\sn02\\*.txt", "find sn02\\*"});
    // Searched under the map's folder, not found there: the disk answers for Abbey.
    EXPECT_EQ(run.Result("find", "mods\\Maps\\sn02\\*.txt"), "ok\ty.txt");
    EXPECT_EQ(run.Result("find", "maps\\sn02\\*.gmb"), "fail\terror=3");
    // Without a separator before the id the pattern is the game's own.
    EXPECT_EQ(run.Result("find", "sn02\\*"), "ok\t./,../,z");
}

TEST_F(AutoResGameTest, WithAutoResOffSnPathsAreTheGamesOwn) {
    const GameRun run = Play(0, {"createa sn02\\x", "attr sn02"});
    EXPECT_FALSE(gamerun::PathExists(game.PathOf("mods\\Maps\\Tavren.res")));
    EXPECT_EQ(Data(run.Result("createa", "sn02\\x")), "base sn02");
    EXPECT_EQ(run.Result("attr", "sn02"), "fail\terror=2");
}

TEST_F(AutoResGameTest, ChangeDetectionRebuildsOnlyWhenTheMapsChanged) {
    Play(2, {});
    ASSERT_EQ(Listed(ModRes()), "Dark Forest#1,Abbey#2,Castle#3");

    // Unchanged: the index is not rewritten, and its table still leads sn02 to Abbey.
    gamerun::WriteFile(game.PathOf("mods\\Maps\\Tavren.res"), ModRes() + "end");
    GameRun run = Play(2, {"createa sn02\\x"});
    EXPECT_EQ(ModRes().substr(ModRes().size() - 3), "end");
    EXPECT_EQ(Data(run.Result("createa", "sn02\\x")), "from Abbey");

    // A new map folder: rebuilt, and the numbers move.
    game.Write("mods\\Maps\\Aaron\\a.cob", "c");
    game.Write("mods\\Maps\\Aaron\\x", "from Aaron");
    run = Play(2, {"createa sn02\\x", "createa sn03\\x"});
    EXPECT_EQ(Listed(ModRes()), "Dark Forest#1,Aaron#2,Abbey#3,Castle#4");
    EXPECT_EQ(StoredCount(ModRes()), 714);
    EXPECT_EQ(Data(run.Result("createa", "sn02\\x")), "from Aaron");
    EXPECT_EQ(Data(run.Result("createa", "sn03\\x")), "from Abbey");
}

TEST_F(AutoResGameTest, AppendModeNumbersTheModsMapsAfterTheBaseMaps) {
    const GameRun run = Play(3, {"createa sn05\\x", "createa sn02\\x"});
    EXPECT_EQ(Listed(ModRes()), "Plains#1,Harbor#2,Citadel#3,Dark Forest#4,Abbey#5,Castle#6");
    EXPECT_EQ(StoredCount(ModRes()), 716);
    EXPECT_EQ(ModRes().substr(54, kBaseIndex.size() - 54), kBaseIndex.substr(54));
    EXPECT_EQ(Data(run.Result("createa", "sn05\\x")), "from Abbey");
    // The base's own map 2 stays the base's.
    EXPECT_EQ(Data(run.Result("createa", "sn02\\x")), "base sn02");
}

TEST_F(AutoResGameTest, EveryModeLeavesTheBaseIndexAsItIsWhenBaseIsSelected) {
    game.Write("ModRoute.ini", "[Settings]\r\nSelectedMod=base\r\n");
    game.Write("base\\Harbor\\h.gmb", "g");
    game.Write("base\\Harbor\\x", "from Harbor");
    game.Write("base\\Fresh\\f.gmb", "a map the base index does not list");
    for (DWORD mode : {1u, 2u, 3u}) {
        const GameRun run = Play(mode, {"createa sn02\\x"});
        EXPECT_EQ(ReadBytes(game.PathOf("base\\Tavren.res")), kBaseIndex) << mode;
        EXPECT_FALSE(gamerun::PathExists(game.PathOf("base\\Tavren.res.new"))) << mode;
        // The table is still read from the base index.
        EXPECT_EQ(Data(run.Result("createa", "sn02\\x")), "from Harbor") << mode;
    }
}

}  // namespace
