// modroute resolve: each rule that can decide where a game path is served
// from, on a laid-out game with loose files, packs of the mod and of the base
// folder, and a free-named map led through AutoRes; and the sample game.
#include "ToolRun.h"
#include "support/TempDir.h"
#include "vfs/PvkFormat.h"

using tooltest::Modroute;
using tooltest::ResolveField;
using tooltest::RuleOf;

namespace {

void WritePack(const testsupport::TempDir& game, const std::string& relative,
               const std::vector<std::pair<std::string, std::string>>& files) {
    std::vector<modroute::PvkPackEntry> entries;
    for (const auto& [directory, name] : files) {
        entries.push_back({name, directory, {reinterpret_cast<const std::uint8_t*>(name.data()), name.size()}});
    }
    std::vector<std::uint8_t> pack;
    ASSERT_EQ(modroute::WritePvk(entries, {}, pack), modroute::PvkWriteError::None);
    game.Write(relative, std::string(pack.begin(), pack.end()));
}

class ToolResolveTest : public ::testing::Test {
protected:
    void SetUp() override {
        game.Write("ModRoute.ini", "[Settings]\r\nSelectedMod=M\r\n");
        game.Write("config.ini", "root");
        game.Write("texture\\own.dds", "game");
        game.Write("mods\\M\\texture\\own.dds", "mod");
        game.Write("mods\\M\\texture\\m.dds", "mod");
        game.Write("base\\texture\\m.dds", "base");
            game.Write("maps\\x.wp", "game");
        game.Write("base\\maps\\x.wp", "base");
            game.Write("pk\\a.txt", "game");
        WritePack(game, "mods\\M\\p.pvk", {{"pk", "a.txt"}});
        WritePack(game, "base\\bp.pvk", {{"bp", "b.txt"}});
        game.Write("base\\bp\\b.txt", "base folder");
        // A free-named map: AutoRes numbers it 1, before the pack p.
        game.Write("base\\Tavren.res", std::string(54, '\0') + std::string("\x05\0\0\0\x01\0\0\0\x02\0\0\0A\0", 14) +
                                           std::string("\x05\0\0\0SN01\0", 9) + std::string(40, '\0'));
        game.Write("mods\\M\\Town\\town.gmb", "g");
        game.Write("mods\\M\\Town\\render.json", "{}");
        game.Write("mods\\M\\Town\\Town.wp", "map");
        game.Write("mods\\M\\Town\\x.txt", "x");
        registry.SetDword(L"", L"AutoRes", 1);
    }

    gamerun::ManagerRegistry registry;
    testsupport::TempDir game{"game"};
};

}  // namespace

TEST_F(ToolResolveTest, EachRuleNamesWhereAPathIsServedFrom) {
    const std::string g = game.Path();
    struct Case {
        const char* path;
        const char* rule;
        std::string servedFrom;
        std::string file;
    };
    const Case cases[] = {
        {"config.ini", "root-file", "game folder", g + "\\config.ini"},
        {"texture\\own.dds", "game-folder-copy", "game folder", g + "\\texture\\own.dds"},
        {"./texture//m.dds", "mod", "mod M", g + "\\mods\\M\\texture\\m.dds"},
        {"maps\\x.wp", "map-file", "base", g + "\\base\\maps\\x.wp"},
        {"pk\\a.txt", "pack", "pack", "pk\\a.txt"},
        {"bp\\b.txt", "base-pack", "pack", "bp\\b.txt"},
        {"sn01\\x.txt", "mod", "mod M", g + "\\mods\\M\\Town\\x.txt"},
        {"sn01\\render.json", "render-json", "mod M", g + "\\mods\\M\\Town\\render.json"},
        {"sn07\\render.json", "render-json-missing", "the game's own path (unchanged)", "sn07\\render.json"},
        {"C:\\elsewhere\\a.txt", "absolute", "the game's own path (unchanged)", "C:\\elsewhere\\a.txt"},
        {"texture\\none.dds", "not-found", "nowhere", "texture\\none.dds"},
        {".\\", "empty", "nowhere", ""},
    };
    std::vector<std::string> arguments = {"resolve", g};
    for (const Case& c : cases) arguments.push_back(c.path);
    const gamerun::ProgramRun run = Modroute(arguments);
    EXPECT_EQ(run.exitCode, 1u) << "three paths are found nowhere";
    for (const Case& c : cases) {
        EXPECT_EQ(RuleOf(run.out, c.path), c.rule) << c.path << "\n" << run.out;
        EXPECT_EQ(ResolveField(run.out, c.path, "served from"), c.servedFrom) << c.path;
        EXPECT_EQ(ResolveField(run.out, c.path, "file"), c.file) << c.path;
    }
    EXPECT_EQ(ResolveField(run.out, "pk\\a.txt", "pack"), g + "\\mods\\M\\p.pvk");
    EXPECT_EQ(ResolveField(run.out, "sn01\\x.txt", "rewrite"), "sn01\\x.txt -> Town\\x.txt (map table SN01 -> Town)");
    // Town, and the pack p.pvk, which AutoRes takes for a map pack as well.
    EXPECT_TRUE(tooltest::HasLine(run.out, "Map table     2 entries, computed from the index AutoRes would write "
                                           "(nothing written)"))
        << run.out;

    // Every path found: the command is content.
    EXPECT_EQ(Modroute({"resolve", g, "config.ini", "pk\\a.txt"}).exitCode, 0u);
}

TEST(ToolResolveSample, SampleGamePathsAsTheDemoPlaysThem) {
    gamerun::ManagerRegistry registry;
    registry.SetDword(L"", L"AutoRes", 1);
    const std::string game = gamerun::SampleFolder() + "\\game";
    const gamerun::ProgramRun run = Modroute({"resolve", game, "texture\\hero.dds", "music\\theme.ogg", "sn02\\sn02.wp"});
    EXPECT_EQ(run.exitCode, 0u) << run.out << run.err;
    EXPECT_EQ(RuleOf(run.out, "texture\\hero.dds"), "mod") << run.out;
    EXPECT_EQ(RuleOf(run.out, "music\\theme.ogg"), "base");
    EXPECT_EQ(ResolveField(run.out, "sn02\\sn02.wp", "file"), game + "\\mods\\Blades\\黑森林\\黑森林.wp");
}
