// modroute maps: the maps each AutoRes mode would write for the sample game
// and laid-out mods, with their numbers, names and where each name comes
// from, and the map table; nothing written, and the problems that leave the
// mod's index as it is.
#include "ToolRun.h"
#include "autores/AutoRes.h"
#include "support/ResBytes.h"
#include "support/TempDir.h"

using testsupport::TempDir;
using testsupport::operator+;
using tooltest::Contains;
using tooltest::HasLine;
using tooltest::Modroute;

namespace {

std::string SampleGame() { return gamerun::SampleFolder() + "\\game"; }

std::string DesFile(const std::string& name) {
    return "GModel Description File V1.0\r\n" + name + "\r\nSceneObjects 3\r\n";
}

class ToolMapsTest : public ::testing::Test {
protected:
    gamerun::ManagerRegistry registry;
};

}  // namespace

TEST_F(ToolMapsTest, SampleGameRebuildNumbersTheSnFolderThenTheFreeNamedOne) {
    const gamerun::ProgramRun run = Modroute({"maps", SampleGame(), "--mode", "1"});
    EXPECT_EQ(run.exitCode, 0u) << run.out << run.err;
    EXPECT_TRUE(HasLine(run.out, "AutoRes      1 rebuild at every start (--mode)")) << run.out;
    EXPECT_TRUE(HasLine(run.out, "Mod          Blades (ModRoute.ini)"));
    EXPECT_TRUE(HasLine(run.out, "1\tSN01\tEmber Road\tfrom sn01\\sn01.des")) << run.out;
    EXPECT_TRUE(HasLine(run.out, "2\tSN02\t黑森林\tfree-named folder: its own name, by which the map table finds it "
                                 "again"))
        << run.out;
    EXPECT_TRUE(Contains(run.out, "Stored count 712 (710 + 2 maps)")) << run.out;
    EXPECT_TRUE(HasLine(run.out, "  SN02 -> 黑森林")) << run.out;
    EXPECT_FALSE(gamerun::PathExists(SampleGame() + "\\mods\\Blades\\Tavren.res"));
}

TEST_F(ToolMapsTest, SampleGameAppendNumbersAfterTheBaseMaps) {
    registry.SetDword(L"", L"AutoRes", 3);
    const gamerun::ProgramRun run = Modroute({"maps", SampleGame()});
    EXPECT_EQ(run.exitCode, 0u) << run.out;
    EXPECT_TRUE(HasLine(run.out, "AutoRes      3 append the mod's maps to the base index (registry)")) << run.out;
    EXPECT_TRUE(HasLine(run.out, "3\tSN03\tEmber Road\tfrom sn01\\sn01.des")) << run.out;
    EXPECT_TRUE(Contains(run.out, "\n4\tSN04\t黑森林\t")) << run.out;
    EXPECT_TRUE(Contains(run.out, "Stored count 714 (710 + 4 maps)")) << run.out;
    EXPECT_TRUE(HasLine(run.out, "  SN04 -> 黑森林")) << run.out;
}

TEST_F(ToolMapsTest, OffWithoutAModeAndNoModNothingToDo) {
    gamerun::ProgramRun run = Modroute({"maps", SampleGame()});
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_TRUE(HasLine(run.out, "AutoRes is off: no index is written and the map table stays empty.")) << run.out;
    TempDir game("game");
    run = Modroute({"maps", game.Path(), "--mode", "1"});
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_TRUE(HasLine(run.out, "No mod is selected: AutoRes does nothing.")) << run.out;
}

TEST_F(ToolMapsTest, NamesComeFromTheDescriptionFileOfSnFoldersAndPacksKeepTheirOwn) {
    TempDir game("game");
    game.Write("base\\Tavren.res", testsupport::AsString(testsupport::GameIndex({"Plains"})));
    game.Write("mods\\M\\sn01\\sn01.des", DesFile("Dark Forest"));
    game.Write("mods\\M\\sn02\\other.des", DesFile("Harbour"));
    game.Write("mods\\M\\sn03\\sn03.des", "no scene objects line");
    game.Write("mods\\M\\sn04\\map.gmb", "g");
    game.Write("mods\\M\\Castle.pvk", "PVK2");
    game.Write("mods\\M\\Town\\town.cob", "c");
    game.Write("mods\\M\\Notes\\readme.txt", "not a map");
    const gamerun::ProgramRun run = Modroute({"maps", game.Path(), "M", "--mode", "1"});
    EXPECT_EQ(run.exitCode, 0u) << run.out;
    EXPECT_TRUE(HasLine(run.out, "Mod          M (given)")) << run.out;
    const std::vector<std::string> rows = {
        "number\tkey\tname\tfrom",
        "1\tSN01\tDark Forest\tfrom sn01\\sn01.des",
        "2\tSN02\tHarbour\tfrom sn02\\other.des",
        "3\tSN03\tsn03\tsn03\\sn03.des gives no usable name: the folder's name",
        "4\tSN04\tsn04\tsn folder without a .des file: the folder's name",
        "5\tSN05\tCastle\tpack Castle.pvk: its own name",
        "6\tSN06\tTown\tfree-named folder: its own name, by which the map table finds it again",
    };
    std::string expected;
    for (const std::string& row : rows) expected += row + "\n";
    EXPECT_TRUE(Contains(run.out, expected)) << run.out;
    EXPECT_TRUE(HasLine(run.out, "  SN05 -> Castle")) << run.out;
    EXPECT_TRUE(HasLine(run.out, "  SN06 -> Town")) << run.out;
    EXPECT_FALSE(gamerun::PathExists(game / "mods\\M\\Tavren.res"));
}

TEST_F(ToolMapsTest, ChangeCheckAndBaseLeaveTheIndexAndShowWhatItLists) {
    TempDir game("game");
    game.Write("base\\Tavren.res", testsupport::AsString(testsupport::GameIndex({"Plains", "Harbor"})));
    game.Write("base\\Harbor\\h.gmb", "g");
    game.Write("mods\\M\\Town\\town.gmb", "g");
    modroute::CoreSettings settings;
    settings.AutoRes = 1;
    settings.SelectedMod = "M";
    ASSERT_EQ(modroute::RunAutoRes(settings, game.Path()).Find("SN01"), "Town");
    const std::string written = TempDir::ReadFile(game / "mods\\M\\Tavren.res");

    gamerun::ProgramRun run = Modroute({"maps", game.Path(), "M", "--mode", "2"});
    EXPECT_EQ(run.exitCode, 0u) << run.out;
    EXPECT_TRUE(HasLine(run.out, "The index lists the maps the folder holds: it is left as it is. It lists:"))
        << run.out;
    EXPECT_TRUE(HasLine(run.out, "1\tSN01\tTown")) << run.out;
    EXPECT_TRUE(HasLine(run.out, "Map table (SnDirectoryMap), read from the current " + game.Path() +
                                     "\\mods\\M\\Tavren.res"))
        << run.out;
    EXPECT_TRUE(HasLine(run.out, "  SN01 -> Town"));

    run = Modroute({"maps", game.Path(), "base", "--mode", "1"});
    EXPECT_EQ(run.exitCode, 0u) << run.out;
    EXPECT_TRUE(HasLine(run.out, "base is selected: its index is only read, never written. It lists:")) << run.out;
    EXPECT_TRUE(HasLine(run.out, "2\tSN02\tHarbor")) << run.out;
    EXPECT_TRUE(HasLine(run.out, "  SN02 -> Harbor")) << run.out;
    EXPECT_EQ(TempDir::ReadFile(game / "mods\\M\\Tavren.res"), written);
}

TEST_F(ToolMapsTest, ProblemsThatLeaveTheIndexAsItIs) {
    TempDir game("game");
    game.Write("mods\\M\\Town\\town.gmb", "g");
    gamerun::ProgramRun run = Modroute({"maps", game.Path(), "Missing", "--mode", "1"});
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_TRUE(HasLine(run.out, "problem: the mod's folder does not exist: AutoRes does nothing")) << run.out;

    run = Modroute({"maps", game.Path(), "M", "--mode", "1"});
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_TRUE(Contains(run.out, "problem: no new index can be made: there is no base index (" + game.Path() +
                                      "\\Tavren.res); the index stays as it is"))
        << run.out;

    // A base index without any block tells nothing of where its game data ends.
    game.Write("base\\Tavren.res", testsupport::AsString(testsupport::ResHeader(710) + testsupport::GameData()));
    run = Modroute({"maps", game.Path(), "M", "--mode", "1"});
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_TRUE(Contains(run.out, "holds no map block to tell where its game data ends")) << run.out;
    // The append mode needs no block of the base.
    EXPECT_EQ(Modroute({"maps", game.Path(), "M", "--mode", "3"}).exitCode, 0u);
}
