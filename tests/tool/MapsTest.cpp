// modroute maps: the maps each AutoRes mode would write for the sample game,
// with their numbers, names and the map table, nothing written; and the
// problems that leave the mod's index as it is.
#include "ToolRun.h"
#include "support/ResBytes.h"
#include "support/TempDir.h"

using testsupport::TempDir;
using testsupport::operator+;
using tooltest::Contains;
using tooltest::HasLine;
using tooltest::Modroute;

namespace {

std::string SampleGame() { return gamerun::SampleFolder() + "\\game"; }

class ToolMapsTest : public ::testing::Test {
protected:
    gamerun::ManagerRegistry registry;
};

}  // namespace

TEST_F(ToolMapsTest, SampleGameRebuildsFromOneAndAppendsAfterTheBaseMaps) {
    gamerun::ProgramRun run = Modroute({"maps", SampleGame()});
    EXPECT_TRUE(HasLine(run.out, "AutoRes is off: no index is written and the map table stays empty.")) << run.out;

    run = Modroute({"maps", SampleGame(), "--mode", "1"});
    EXPECT_EQ(run.exitCode, 0u) << run.out << run.err;
    EXPECT_TRUE(HasLine(run.out, "1\tSN01\tEmber Road\tfrom sn01\\sn01.des")) << run.out;
    EXPECT_TRUE(Contains(run.out, "Stored count 712 (710 + 2 maps)")) << run.out;
    EXPECT_TRUE(HasLine(run.out, "  SN02 -> 黑森林")) << run.out;
    EXPECT_FALSE(gamerun::PathExists(SampleGame() + "\\mods\\Blades\\Tavren.res"));

    registry.SetDword(L"", L"AutoRes", 3);
    run = Modroute({"maps", SampleGame()});
    EXPECT_EQ(run.exitCode, 0u) << run.out;
    EXPECT_TRUE(HasLine(run.out, "3\tSN03\tEmber Road\tfrom sn01\\sn01.des")) << run.out;
    EXPECT_TRUE(HasLine(run.out, "  SN04 -> 黑森林")) << run.out;
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
