// modroute mods: the mods of the sample game and of laid-out folders, their
// descriptions, the selection, the search path, the settings with where each
// came from, and nothing ever written into the game folder.
#include "ToolRun.h"
#include "support/TempDir.h"

using tooltest::Contains;
using tooltest::HasLine;
using tooltest::Modroute;

namespace {

std::string SampleGame() { return gamerun::SampleFolder() + "\\game"; }

// The line of a setting: its name padded to 26, then the value padded to 12.
std::string Setting(std::string name, std::string value, const std::string& source) {
    name.resize(26, ' ');
    value.resize(std::max<std::size_t>(value.size() + 1, 12), ' ');
    return "    " + name + value + "(" + source + ")";
}

class ToolModsTest : public ::testing::Test {
protected:
    gamerun::ManagerRegistry registry;
};

}  // namespace

TEST_F(ToolModsTest, SampleGameShowsBothModsTheSelectionAndTheSearchPath) {
    const std::string game = SampleGame();
    const gamerun::ProgramRun run = Modroute({"mods", game});
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    const std::string& out = run.out;
    EXPECT_TRUE(HasLine(out, "    SelectedMod               Blades  ([Settings] of ModRoute.ini)")) << out;
    EXPECT_TRUE(HasLine(out, "  Blades  (selected)  " + game + "\\mods\\Blades")) << out;
    EXPECT_TRUE(HasLine(out, "      description   none (mods\\Blades\\Blades.ini missing): defaults")) << out;
    EXPECT_TRUE(HasLine(out, "      author        未知作者")) << out;
    EXPECT_TRUE(HasLine(out, "  Lanterns  " + game + "\\mods\\Lanterns")) << out;
    EXPECT_TRUE(HasLine(out, "      description   mods\\Lanterns\\Lanterns.ini")) << out;
    EXPECT_TRUE(HasLine(out, "      title         Lanterns of Tavren")) << out;
    // The description file's forward slash, as the scan stores it.
    EXPECT_TRUE(HasLine(out, "      image         preview\\lanterns.jpg")) << out;
    EXPECT_TRUE(HasLine(out, "      title         Tavren (stock resources)")) << out;
    // Base first, then the mods; the mod, base and game folder, in that order.
    EXPECT_LT(out.find("  base  "), out.find("  Blades  (selected)"));
    EXPECT_TRUE(Contains(out, "  1  mod  " + game + "\\mods\\Blades\n  2  base " + game + "\\base\n  3  game " + game +
                                  "\n"))
        << out;
    EXPECT_TRUE(HasLine(out, "    mods\\Blades\\UITexture.pvk")) << out;
    EXPECT_TRUE(HasLine(out, Setting("AutoRes", "0", "default"))) << out;
    EXPECT_TRUE(HasLine(out, Setting("EnablePreloadPVK", "3", "default"))) << out;
    EXPECT_TRUE(HasLine(out, Setting("Memory\\MaxMemoryMB", "512", "default"))) << out;
    EXPECT_TRUE(HasLine(out, Setting("Patch\\OpenPlay", "1", "default"))) << out;
    EXPECT_TRUE(HasLine(out, Setting("Fonts\\MingLiUScale", "100", "default"))) << out;
}

TEST_F(ToolModsTest, EachSettingSaysWhetherTheRegistryOrTheDefaultGaveIt) {
    registry.SetDword(L"", L"AutoRes", 2);
    registry.SetDword(L"", L"EnablePreloadPVK", 1);
    registry.SetDword(L"Memory", L"MaxMemoryMB", 0);
    registry.SetDword(L"Patch", L"ToggleCommand", 0);
    registry.SetDword(L"Fonts", L"TimesNewRomanScale", 10);
    registry.SetString(L"Fonts", L"MingLiUScale", L"150");
    registry.SetString(L"Fonts", L"TimesNewRoman", L"宋体");
    const gamerun::ProgramRun run = Modroute({"mods", SampleGame()});
    const std::string& out = run.out;
    EXPECT_TRUE(HasLine(out, Setting("AutoRes", "2", "registry"))) << out;
    EXPECT_TRUE(HasLine(out, Setting("EnablePreloadPVK", "1", "registry"))) << out;
    EXPECT_TRUE(HasLine(out, Setting("Memory\\MaxMemoryMB", "0", "registry"))) << out;
    EXPECT_TRUE(HasLine(out, Setting("Patch\\ToggleCommand", "0", "registry"))) << out;
    EXPECT_TRUE(HasLine(out, Setting("Patch\\OpenPlay", "1", "default"))) << out;
    EXPECT_TRUE(HasLine(out, Setting("Fonts\\TimesNewRoman", "\"宋体\"", "registry"))) << out;
    EXPECT_TRUE(HasLine(out, Setting("Fonts\\TimesNewRomanScale", "50", "registry holds 10"))) << out;
    EXPECT_TRUE(HasLine(out, Setting("Fonts\\MingLiUScale", "100", "registry holds \"150\", read as the default")))
        << out;
    EXPECT_TRUE(Contains(out, "EnablePreloadPVK 1: packs up to 50.0 MiB")) << out;

    registry.SetDword(L"", L"AutoRes", 7);
    registry.SetDword(L"", L"EnablePreloadPVK", 0);
    const gamerun::ProgramRun outOfRange = Modroute({"mods", SampleGame()});
    EXPECT_TRUE(HasLine(outOfRange.out, Setting("AutoRes", "0", "registry holds 7, read as the default")))
        << outOfRange.out;
    EXPECT_TRUE(Contains(outOfRange.out, "EnablePreloadPVK 0: nothing is preloaded")) << outOfRange.out;
}

TEST_F(ToolModsTest, ChineseFoldersAndAMissingSelectionInALaidOutGame) {
    testsupport::TempDir game("游戏");
    game.Write("ModRoute.ini", "\xEF\xBB\xBF[Settings]\r\nSelectedMod=刀剑\r\n");
    game.Write("mods\\刀剑\\刀剑.ini", "[ModInfo]\ntitle=刀与剑\nauthor=作者\n");
    game.Write("mods\\Plain\\Plain.ini", "[ModInfo]\ntitle=Plain\n");
    gamerun::ProgramRun run = Modroute({"mods", game.Path()});
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    EXPECT_TRUE(HasLine(run.out, "  刀剑  (selected)  " + game.Path() + "\\mods\\刀剑")) << run.out;
    EXPECT_TRUE(HasLine(run.out, "      title         刀与剑")) << run.out;
    EXPECT_TRUE(HasLine(run.out, "Selected mod  刀剑  " + game.Path() + "\\mods\\刀剑")) << run.out;
    // No base folder: the DLL would create one; the tool only says so.
    EXPECT_TRUE(Contains(run.out, "note: no base folder")) << run.out;
    EXPECT_TRUE(HasLine(run.out, "  1  mod  " + game.Path() + "\\mods\\刀剑")) << run.out;

    game.Write("ModRoute.ini", "[Settings]\r\nSelectedMod=Gone\r\n");
    run = Modroute({"mods", game.Path()});
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_TRUE(Contains(run.out, "Selected mod  Gone  problem: mods\\Gone does not exist")) << run.out;
    EXPECT_TRUE(HasLine(run.out, "  1  base " + game.Path() + "\\base")) << run.out;

    game.Write("ModRoute.ini", "[Settings]\r\nSelectedMod=..\\elsewhere\r\n");
    run = Modroute({"mods", game.Path()});
    EXPECT_TRUE(Contains(run.out, "ModRoute.ini names \"..\\elsewhere\", which is not a plain folder name")) << run.out;
    EXPECT_TRUE(HasLine(run.out, "Selected mod  none: the game plays with base and its own files")) << run.out;
}

TEST_F(ToolModsTest, ReadingCommandsNeverWriteIntoTheGameFolder) {
    // Everything that makes the DLL write: mods without base (it would create
    // base\base.ini), AutoRes on with a map (it would write the mod's index).
    testsupport::TempDir game("game");
    game.Write("ModRoute.ini", "[Settings]\r\nSelectedMod=M\r\n");
    game.Write("Tavren.res", std::string(54, '\0'));
    game.Write("mods\\M\\Town\\town.gmb", "g");
    game.Write("mods\\M\\Town\\x.txt", "x");
    registry.SetDword(L"", L"AutoRes", 1);
    const auto before = tooltest::Snapshot(game.Path());
    for (const std::vector<std::string>& command :
         {std::vector<std::string>{"mods", game.Path()}, {"resolve", game.Path(), "sn01\\x.txt"},
          {"maps", game.Path()}, {"maps", game.Path(), "--mode", "3"}}) {
        Modroute(command);
        EXPECT_EQ(tooltest::Snapshot(game.Path()), before) << command[0];
    }
}
