// modroute resolve: the rule that decides where each game path of the sample
// game is served from, with AutoRes leading a map id to its free-named folder,
// and paths found nowhere, absolute or empty.
#include "ToolRun.h"

using tooltest::Modroute;
using tooltest::ResolveField;

TEST(ToolResolve, EachRuleNamesWhereASampleGamePathIsServedFrom) {
    gamerun::ManagerRegistry registry;
    registry.SetDword(L"", L"AutoRes", 1);
    const std::string g = gamerun::SampleFolder() + "\\game";
    struct Case { const char* path; const char* rule; std::string servedFrom; std::string file; };
    const Case cases[] = {
        {"config.ini", "root-file", "game folder", g + "\\config.ini"},
        {"texture\\sky.dds", "game-folder-copy", "game folder", g + "\\texture\\sky.dds"},
        {"./texture//hero.dds", "mod", "mod Blades", g + "\\mods\\Blades\\texture\\hero.dds"},
        {"music\\theme.ogg", "base", "base", g + "\\base\\music\\theme.ogg"},
        {"ui\\title.txt", "pack", "pack", "ui\\title.txt"},
        {"sn02\\sn02.wp", "map-file", "mod Blades", g + "\\mods\\Blades\\黑森林\\黑森林.wp"},
        {"sn02\\render.json", "render-json", "mod Blades", g + "\\mods\\Blades\\黑森林\\render.json"},
        {"sn07\\render.json", "render-json-missing", "the game's own path (unchanged)", "sn07\\render.json"},
        {"C:\\elsewhere\\a.txt", "absolute", "the game's own path (unchanged)", "C:\\elsewhere\\a.txt"},
        {"texture\\none.dds", "not-found", "nowhere", "texture\\none.dds"},
        {".\\", "empty", "nowhere", ""},
    };
    std::vector<std::string> arguments = {"resolve", g};
    for (const auto& c : cases) arguments.push_back(c.path);
    const gamerun::ProgramRun run = Modroute(arguments);
    EXPECT_EQ(run.exitCode, 1u) << "two paths are found nowhere";
    for (const auto& c : cases) {
        const std::string rule = ResolveField(run.out, c.path, "rule");  // its short name before a ':'
        EXPECT_EQ(rule.substr(0, rule.find(':')), c.rule) << c.path << "\n" << run.out;
        EXPECT_EQ(ResolveField(run.out, c.path, "served from"), c.servedFrom) << c.path;
        EXPECT_EQ(ResolveField(run.out, c.path, "file"), c.file) << c.path;
    }
    EXPECT_EQ(ResolveField(run.out, "ui\\title.txt", "pack"), g + "\\mods\\Blades\\UITexture.pvk");
    EXPECT_EQ(ResolveField(run.out, "sn02\\render.json", "rewrite"),
              "sn02\\render.json -> 黑森林\\render.json (map table SN02 -> 黑森林)");
    EXPECT_EQ(ResolveField(run.out, "texture\\sky.dds", "rewrite"), "");

    // Every path found: the command is content.
    EXPECT_EQ(Modroute({"resolve", g, "config.ini", "ui\\title.txt"}).exitCode, 0u);
}
