// modroute.exe as a child process: each command on the sample game, a pack
// whose keys would leave the extraction folder, and the usage errors.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "GameHarness.h"
#include "support/TempDir.h"
#include "vfs/PvkFormat.h"

namespace {

using testsupport::TempDir;

const std::string kGame = gamerun::SampleFolder() + "\\game";

gamerun::ProgramRun Modroute(const std::vector<std::string>& arguments) {
    gamerun::ProgramRun run = gamerun::RunProgram(L"modroute.exe", arguments);
    EXPECT_FALSE(run.timedOut);
    return run;
}

bool HasLine(const std::string& text, const std::string& line) { return ("\n" + text).find("\n" + line + "\n") != std::string::npos; }

// Every file and folder below a folder, with the files' bytes.
std::map<std::string, std::string> Snapshot(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const gamerun::TreeEntry& entry : gamerun::ListTree(folder)) {
        if (entry.isFolder) files[entry.relative + "\\"] = "";
        else gamerun::ReadFile(folder + "\\" + entry.relative, files[entry.relative]);
    }
    return files;
}

TEST(Tool, ModsShowsTheSelectionTheSearchPathAndWhereEachSettingCameFrom) {
    gamerun::ManagerRegistry registry;
    registry.SetDword(L"Fonts", L"TimesNewRomanScale", 10);
    const gamerun::ProgramRun run = Modroute({"mods", kGame});
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    EXPECT_TRUE(HasLine(run.out, "  Blades  (selected)  " + kGame + "\\mods\\Blades")) << run.out;
    EXPECT_NE(run.out.find("  1  mod  " + kGame + "\\mods\\Blades\n  2  base " + kGame + "\\base\n  3  game " + kGame + "\n"),
              std::string::npos) << run.out;
    EXPECT_TRUE(HasLine(run.out, "    Fonts\\TimesNewRomanScale  50          (registry holds 10)")) << run.out;
}

// The value of a labelled line of the block a resolve report gives the path.
std::string Field(const std::string& report, const std::string& path, const std::string& label) {
    const std::size_t block = ("\n\n" + report).find("\n\n" + path + "\n");
    const std::size_t line = report.find("\n  " + label, block);
    if (block == std::string::npos || line == std::string::npos || line > report.find("\n\n", block + 1)) return {};
    return report.substr(line + 15, report.find('\n', line + 1) - line - 15);
}

TEST(Tool, ResolveNamesTheRuleAndTheFileThatServesEachSampleGamePath) {
    gamerun::ManagerRegistry registry;
    registry.SetDword(L"", L"AutoRes", 1);
    const struct { const char* path; const char* rule; std::string file; } cases[] = {
        {"config.ini", "root-file", kGame + "\\config.ini"},
        {"texture\\sky.dds", "game-folder-copy", kGame + "\\texture\\sky.dds"},
        {"./texture//hero.dds", "mod", kGame + "\\mods\\Blades\\texture\\hero.dds"},
        {"music\\theme.ogg", "base", kGame + "\\base\\music\\theme.ogg"},
        {"ui\\title.txt", "pack", "ui\\title.txt"},
        {"sn02\\sn02.wp", "map-file", kGame + "\\mods\\Blades\\黑森林\\黑森林.wp"},
        {"sn02\\render.json", "render-json", kGame + "\\mods\\Blades\\黑森林\\render.json"},
        {"sn07\\render.json", "render-json-missing", "sn07\\render.json"},
        {"C:\\elsewhere\\a.txt", "absolute", "C:\\elsewhere\\a.txt"},
        {"texture\\none.dds", "not-found", "texture\\none.dds"},
    };
    std::vector<std::string> arguments = {"resolve", kGame};
    for (const auto& c : cases) arguments.push_back(c.path);
    const gamerun::ProgramRun run = Modroute(arguments);
    EXPECT_EQ(run.exitCode, 1u) << "a path is found nowhere";
    for (const auto& c : cases) {
        const std::string rule = Field(run.out, c.path, "rule");
        EXPECT_EQ(rule.substr(0, rule.find(':')), c.rule) << c.path << "\n" << run.out;
        EXPECT_EQ(Field(run.out, c.path, "file"), c.file) << c.path;
    }
    EXPECT_EQ(Field(run.out, "ui\\title.txt", "pack"), kGame + "\\mods\\Blades\\UITexture.pvk");
}

TEST(Tool, MapsNumbersTheSampleModsMapsInEachModeAndWritesNothing) {
    gamerun::ManagerRegistry registry;
    const auto before = Snapshot(kGame);
    gamerun::ProgramRun run = Modroute({"maps", kGame, "--mode", "1"});
    EXPECT_EQ(run.exitCode, 0u) << run.out << run.err;
    EXPECT_TRUE(HasLine(run.out, "1\tSN01\tEmber Road\tfrom sn01\\sn01.des")) << run.out;
    EXPECT_NE(run.out.find("Stored count 712 (710 + 2 maps)"), std::string::npos) << run.out;
    EXPECT_TRUE(HasLine(run.out, "  SN02 -> 黑森林")) << run.out;
    registry.SetDword(L"", L"AutoRes", 3);
    run = Modroute({"maps", kGame});
    EXPECT_TRUE(HasLine(run.out, "3\tSN03\tEmber Road\tfrom sn01\\sn01.des")) << run.out;
    EXPECT_EQ(Snapshot(kGame), before);
}

TEST(Tool, ResListsTheSampleBaseIndexInUtf8) {
    for (const char* command : {"dump", "check"}) {
        const gamerun::ProgramRun run = Modroute({"res", command, kGame + "\\base\\Tavren.res"});
        EXPECT_EQ(run.exitCode, 0u) << run.out;
        EXPECT_TRUE(HasLine(run.out, "102\t1\tSN01\t港口")) << run.out;
        EXPECT_TRUE(HasLine(run.out, "177\t2\tSN02\tOld Mill")) << run.out;
    }
}

TEST(Tool, PvkBuildsTheSamplePackListsWhereItsBytesLieAndExtractsThemBack) {
    TempDir work("work");
    const std::string folder = gamerun::SampleFolder() + "\\packs\\UITexture";
    const std::string committed = kGame + "\\mods\\Blades\\UITexture.pvk";
    ASSERT_EQ(Modroute({"pvk", "pack", folder, work / "UITexture.pvk"}).exitCode, 0u);
    const std::string bytes = TempDir::ReadFile(committed);
    EXPECT_EQ(TempDir::ReadFile(work / "UITexture.pvk"), bytes);
    std::map<std::string, std::string> listed;  // key -> the bytes at the listed offset
    std::istringstream lines(Modroute({"pvk", "list", committed}).out);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream row(line);
        std::string name, directory, key, size, offset;
        for (std::string* column : {&name, &directory, &key, &size}) std::getline(row, *column, '\t');
        if (std::getline(row, offset) && name != "name") listed[key] = bytes.substr(std::stoul(offset), std::stoul(size));
    }
    const auto files = Snapshot(folder);
    EXPECT_EQ(listed, (std::map<std::string, std::string>{{"ui\\title.txt", files.at("ui\\title.txt")},
                                                          {"ui\\banner.txt", files.at("ui\\banner.txt")}}));
    ASSERT_EQ(Modroute({"pvk", "extract", committed, work / "extracted"}).exitCode, 0u);
    EXPECT_EQ(Snapshot(work / "extracted"), files);
    EXPECT_EQ(Modroute({"pvk", "verify", committed}).exitCode, 0u);
}

TEST(Tool, ExtractWritesNothingOutsideItsFolder) {
    TempDir work("work");
    std::vector<modroute::PvkPackEntry> entries;
    const std::string data = "data";
    for (const auto& [directory, name] : std::vector<std::pair<std::string, std::string>>{
             {"a\\..\\..", "up.txt"}, {"C:", "drive.txt"}, {"s", "file.txt:hidden"}, {"d", "CON.txt"}, {"t", "dot."}, {"fine", "good.txt"}}) {
        entries.push_back({name, directory, {reinterpret_cast<const std::uint8_t*>(data.data()), data.size()}});
    }
    std::vector<std::uint8_t> pack;
    ASSERT_EQ(modroute::WritePvk(entries, {}, pack), modroute::PvkWriteError::None);
    work.Write("bad.pvk", std::string(pack.begin(), pack.end()));
    EXPECT_EQ(Modroute({"pvk", "extract", work / "bad.pvk", work / "in\\out"}).exitCode, 1u);
    auto written = Snapshot(work.Path());
    written.erase("bad.pvk");
    EXPECT_EQ(written, (std::map<std::string, std::string>{
                           {"in\\", ""}, {"in\\out\\", ""}, {"in\\out\\fine\\", ""}, {"in\\out\\fine\\good.txt", "data"}}));
}

TEST(Tool, UsageErrorsExitWithTwoAndUnreadableInputsWithThree) {
    TempDir folder("game");
    const std::string missing = folder / "missing";
    const struct { std::vector<std::string> arguments; DWORD exitCode; const char* message; } cases[] = {
        {{}, 2, "modroute mods <game>"},
        {{"frobnicate"}, 2, "unknown command \"frobnicate\""},
        {{"mods", folder.Path(), "extra"}, 2, "mods takes one game folder"},
        {{"resolve", folder.Path()}, 2, "at least one game path"},
        {{"pvk", "unpack", "x.pvk"}, 2, "unknown pvk subcommand \"unpack\""},
        {{"res", "dump"}, 2, "res takes a subcommand and one file"},
        {{"maps", folder.Path(), "--mode", "4"}, 2, "--mode takes 1, 2 or 3"},
        {{"maps", folder.Path(), "..\\other"}, 2, "is not a folder name under mods"},
        {{"mods", missing}, 3, "cannot read the game folder"},
        {{"pvk", "verify", missing + ".pvk"}, 3, "cannot read"},
        {{"pvk", "pack", missing, folder / "out.pvk"}, 3, "cannot read the folder"},
        {{"res", "check", missing + ".res"}, 3, "cannot read"},
    };
    for (const auto& c : cases) {
        const gamerun::ProgramRun run = Modroute(c.arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.message;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_TRUE(run.out.empty()) << run.out;
    }
}

}  // namespace
