// modroute mods: the sample game's mods, search path and settings with where
// each came from; a laid-out game whose selection is missing; and no reading
// command ever writes into the game folder.
#include "ToolRun.h"
#include "support/TempDir.h"

using tooltest::Contains;
using tooltest::HasLine;
using tooltest::Modroute;

namespace {

// The line of a setting: its name padded to 26, then the value padded to 12.
std::string Setting(std::string name, std::string value, const std::string& source) {
    name.resize(26, ' ');
    value.resize(std::max<std::size_t>(value.size() + 1, 12), ' ');
    return "    " + name + value + "(" + source + ")";
}

}  // namespace

TEST(ToolMods, SampleGameShowsTheModsTheSearchPathAndWhereEachSettingCameFrom) {
    gamerun::ManagerRegistry registry;
    registry.SetDword(L"", L"AutoRes", 2);
    registry.SetDword(L"Fonts", L"TimesNewRomanScale", 10);
    registry.SetString(L"Fonts", L"MingLiUScale", L"150");
    const std::string game = gamerun::SampleFolder() + "\\game";
    const gamerun::ProgramRun run = Modroute({"mods", game});
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    const std::string& out = run.out;
    EXPECT_TRUE(HasLine(out, "  Blades  (selected)  " + game + "\\mods\\Blades")) << out;
    EXPECT_TRUE(Contains(out, "  1  mod  " + game + "\\mods\\Blades\n  2  base " + game + "\\base\n  3  game " + game +
                                  "\n"))
        << out;
    EXPECT_TRUE(HasLine(out, "    mods\\Blades\\UITexture.pvk")) << out;
    EXPECT_TRUE(HasLine(out, Setting("AutoRes", "2", "registry"))) << out;
    EXPECT_TRUE(HasLine(out, Setting("Fonts\\TimesNewRomanScale", "50", "registry holds 10"))) << out;
    EXPECT_TRUE(HasLine(out, Setting("Fonts\\MingLiUScale", "100", "registry holds \"150\", read as the default")))
        << out;
}

TEST(ToolMods, AMissingSelectionIsAProblemAndNoReadingCommandWritesIntoTheGame) {
    // Everything that makes the DLL write: mods without base (it would create
    // base\base.ini), AutoRes on with a map (it would write the mod's index).
    gamerun::ManagerRegistry registry;
    registry.SetDword(L"", L"AutoRes", 1);
    testsupport::TempDir game("游戏");
    game.Write("ModRoute.ini", "[Settings]\r\nSelectedMod=M\r\n");
    game.Write("Tavren.res", std::string(54, '\0'));
    game.Write("mods\\M\\Town\\town.gmb", "g");
    game.Write("mods\\M\\Town\\x.txt", "x");
    const auto before = tooltest::Snapshot(game.Path());
    for (const std::vector<std::string>& command :
         {std::vector<std::string>{"mods", game.Path()}, {"resolve", game.Path(), "sn01\\x.txt"},
          {"maps", game.Path()}, {"maps", game.Path(), "--mode", "3"}}) {
        Modroute(command);
        EXPECT_EQ(tooltest::Snapshot(game.Path()), before) << command[0];
    }

    game.Write("ModRoute.ini", "[Settings]\r\nSelectedMod=Gone\r\n");
    const gamerun::ProgramRun run = Modroute({"mods", game.Path()});
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_TRUE(Contains(run.out, "Selected mod  Gone  problem: mods\\Gone does not exist")) << run.out;
    EXPECT_TRUE(HasLine(run.out, "  1  base " + game.Path() + "\\base")) << run.out;
}
