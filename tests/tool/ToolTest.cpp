// modroute.exe as a child process: commands on the sample game, a pack whose
// keys would leave the extraction folder, and the usage errors.
#include <gtest/gtest.h>

#include <map>

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

// Every file and folder below a folder, with the files' bytes.
std::map<std::string, std::string> Snapshot(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const gamerun::TreeEntry& entry : gamerun::ListTree(folder)) {
        if (entry.isFolder) files[entry.relative + "\\"] = "";
        else gamerun::ReadFile(folder + "\\" + entry.relative, files[entry.relative]);
    }
    return files;
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

TEST(Tool, PvkBuildsTheSamplePackAndExtractsItBack) {
    TempDir work("work");
    const std::string folder = gamerun::SampleFolder() + "\\packs\\UITexture";
    const std::string committed = kGame + "\\mods\\Blades\\UITexture.pvk";
    ASSERT_EQ(Modroute({"pvk", "pack", folder, work / "UITexture.pvk"}).exitCode, 0u);
    EXPECT_EQ(TempDir::ReadFile(work / "UITexture.pvk"), TempDir::ReadFile(committed));
    ASSERT_EQ(Modroute({"pvk", "extract", committed, work / "extracted"}).exitCode, 0u);
    EXPECT_EQ(Snapshot(work / "extracted"), Snapshot(folder));
    EXPECT_EQ(Modroute({"pvk", "extract", committed, work / "extracted"}).exitCode, 1u) << "files there are kept";
    EXPECT_EQ(Modroute({"pvk", "extract", "--force", committed, work / "extracted"}).exitCode, 0u);
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

TEST(Tool, VersionHelpAndPathsAfterTheEndOfOptions) {
    EXPECT_EQ(Modroute({"--version"}).out, "modroute " MODROUTE_VERSION "\n");
    EXPECT_EQ(Modroute({"conflicts", "--help"}).out.rfind("usage: modroute conflicts <game> [mod] [--all]", 0), 0u);
    const gamerun::ProgramRun run = Modroute({"resolve", kGame, "--", "--all"});
    EXPECT_EQ(run.exitCode, 1u) << "--all after -- is a path found nowhere\n" << run.err;
    EXPECT_EQ(Field(run.out, "--all", "rule"), "not-found: no pack and no search folder holds it: the game opens its own relative path");
}

TEST(Tool, UsageErrorsExitWithTwoAndUnreadableInputsWithThree) {
    TempDir folder("game");
    const std::string missing = folder / "missing";
    const struct { std::vector<std::string> arguments; DWORD exitCode; const char* message; } cases[] = {
        {{"check"}, 2, "modroute check <game folder> [mod] [--json]"},
        {{"maps", folder.Path(), "..\\other"}, 2, "is not a folder name under mods"},
        {{"maps", folder.Path(), "--mode=4"}, 2, "--mode takes 1, 2 or 3"},
        {{"conflicts", folder.Path(), "--mode", "1"}, 2, "unknown option --mode"},
        {{"pvk", "pack", missing, folder / "out.pvk"}, 3, "cannot read the folder"},
    };
    for (const auto& c : cases) {
        const gamerun::ProgramRun run = Modroute(c.arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.message;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_TRUE(run.out.empty()) << run.out;
    }
}

// Flattens a JSON text into "problems.0.area" -> scalar; throws on broken syntax.
struct FlatJson {
    std::map<std::string, std::string> at;
    std::string text;
    std::size_t i = 0;
    explicit FlatJson(std::string json) : text(std::move(json)) {
        Value("");
        while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
        if (i != text.size()) throw std::runtime_error("text after the JSON value");
    }
    char Next() {
        while (std::isspace(static_cast<unsigned char>(text.at(i)))) ++i;
        return text.at(i);
    }
    std::string String() {
        std::string value;
        for (++i; text.at(i) != '"'; ++i) value += text[i] == '\\' ? (text.at(++i) == 'u' ? (i += 4, '?') : text[i]) : text[i];
        return ++i, value;
    }
    void Value(const std::string& path) {
        const char open = Next(), close = open == '{' ? '}' : ']';
        if (open == '"') return void(at[path] = String());
        if (open != '{' && open != '[') return void(at[path] = text.substr(i, text.find_first_of(",}]", i) - i)), void(i = text.find_first_of(",}]", i));
        ++i;
        if (Next() == close) return void(++i);
        for (int n = 0;; ++n) {
            std::string key = std::to_string(n);
            if (open == '{' && (Next() != '"' || (key = String(), Next()) != ':' || !++i)) throw std::runtime_error("bad member");
            Value(path.empty() ? key : path + "." + key);
            const char after = Next();
            ++i;
            if (after == close) return;
            if (after != ',') throw std::runtime_error("bad separator");
        }
    }
};

TEST(Tool, PvkExtractAndPackReportInJson) {
    TempDir work("work");
    const std::string committed = kGame + "\\mods\\Blades\\UITexture.pvk";
    const FlatJson first(Modroute({"pvk", "extract", "--json", committed, work / "out"}).out);
    const FlatJson again(Modroute({"pvk", "extract", committed, work / "out", "--json"}).out);
    const auto problems = [](const FlatJson& json) {
        return std::count_if(json.at.begin(), json.at.end(), [](const auto& item) { return item.first.rfind("problems.", 0) == 0; });
    };
    EXPECT_EQ(problems(first), 0);
    EXPECT_EQ(std::to_string(problems(again)), first.at.at("extracted")) << "every file there is kept";
    EXPECT_EQ(again.at.at("extracted"), "0");
    EXPECT_NE(again.at.at("problems.0").find("exists (--force overwrites it)"), std::string::npos);
    work.Write("twins\\A.txt", "a");
    work.Write("twins\\sub\\a.txt", "b");
    work.Write("twins\\SUB\\b.txt", "c");
    const FlatJson packed(Modroute({"pvk", "pack", work / "twins", work / "t.pvk", "--json"}).out);
    EXPECT_EQ(packed.at.at("written"), "true");
    EXPECT_EQ(packed.at.at("entries"), "3");
    EXPECT_EQ(packed.at.at("notes.0").rfind("A.txt lies at the top", 0), 0u) << packed.text;
}

TEST(Tool, CheckReportsEachTrapOnceAndConflictsNameWhoIsHidden) {
    gamerun::Game game;
    const struct { const char* area; const char* file; std::string bytes; const char* problem; } cases[] = {
        {"settings", "ModRoute.ini", "[settings]\r\nSelectedMod=Blades\r\n", "the section settings is ignored"},
        {"description", "base\\base.ini", "[ModInfo]\r\nauthor=a\r\n", "has no title"},
        {"description", "mods\\Blades\\Blades.ini", "\xEF\xBB\xBF[Info]\r\ntitle=B\r\n", "no [ModInfo] section"},
        {"pack", "mods\\Blades\\case.pvk", "", "differ only in letter case"},
        {"autores", "mods\\Blades", "", "maps with free names (case.pvk, 黑森林)"},
        {"hidden", "mods\\Blades\\texture\\sky.dds", "mod", "texture\\sky.dds is hidden by the game folder"},
    };
    for (const auto& c : cases) if (!c.bytes.empty()) game.Write(c.file, c.bytes);
    game.Write("texture\\sky.dds", "game");
    game.Write("mods\\Blades\\黑森林\\黑森林.des", "des");
    const std::string data = "x";
    const std::vector<modroute::PvkPackEntry> entries = {{"A.txt", "d", {reinterpret_cast<const std::uint8_t*>(data.data()), 1}},
                                                         {"a.txt", "d", {reinterpret_cast<const std::uint8_t*>(data.data()), 1}}};
    std::vector<std::uint8_t> pack;
    ASSERT_EQ(modroute::WritePvk(entries, {}, pack), modroute::PvkWriteError::None);
    game.Write("mods\\Blades\\case.pvk", std::string(pack.begin(), pack.end()));

    const gamerun::ProgramRun run = Modroute({"check", game.Folder(), "Blades", "--json"});
    EXPECT_EQ(run.exitCode, 1u);
    const FlatJson check(run.out);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const std::string at = "problems." + std::to_string(i) + ".";
        EXPECT_EQ(check.at.count(at + "area") ? check.at.at(at + "area") + " " + check.at.at(at + "file") : "", std::string(cases[i].area) + " " + cases[i].file) << run.out;
        EXPECT_NE(check.at.count(at + "problem") ? check.at.at(at + "problem").find(cases[i].problem) : std::string::npos, std::string::npos) << run.out;
    }
    EXPECT_EQ(check.at.count("problems." + std::to_string(std::size(cases)) + ".area"), 0u) << run.out;

    const FlatJson conflicts(Modroute({"conflicts", game.Folder(), "Blades", "--json"}).out);
    EXPECT_EQ(conflicts.at.at("paths.0.path") + " " + conflicts.at.at("paths.0.winner.source") + " " + conflicts.at.at("paths.0.hidden.0.source"), "texture\\sky.dds game folder mod");
    EXPECT_EQ(conflicts.at.count("paths.1.path") + conflicts.at.count("paths.0.hidden.1.source"), 0u);
    EXPECT_EQ(conflicts.at.at("totals.hidden") + " " + conflicts.at.at("totals.wins.mod pack"), "1 1");
    EXPECT_EQ(Modroute({"check", gamerun::Game().Folder()}).exitCode, 0u) << "a game with ModRoute installed and nothing else";
}

}  // namespace
