// Eight game threads from the moment the library has attached: opens and
// reads of game-folder, mod, base and packed files through every open
// function, attribute queries, searches of packed and disk folders, library
// loads and font creation, racing the full initialisation, AutoRes, the pack
// index thread and the font thread. Every answer must be one the start-up
// allows at that moment and never go back to an earlier stage; once the
// system is up, only the final answers, and not one handle more.
//
// 20,000 operations per thread from the test command; MODROUTE_STRESS_OPERATIONS
// sets another number for longer runs (scripts/stress.sh).
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <sstream>

#include "GameHarness.h"
#include "GamePacks.h"
#include "standin/StressPlan.h"
#include "support/ResBytes.h"

namespace {

using gamerun::Game;
using gamerun::GameRun;

constexpr std::uint64_t kMiB = 1024 * 1024;
constexpr int kThreads = 8;
constexpr int kOperations = 20000;
const std::string kBlade = "\xE5\x88\x80";  // 刀

std::string Tag(const std::string& where, const std::string& path, int size) {
    return where + ":" + path + "#" + std::to_string(size);
}


// A game with the mod Blades, AutoRes rebuilding at every start, both faces
// the game asks for replaced once the font hooks are in, and packs of all three kinds: preloaded at attach, registered later by the pack index
// thread in the mod (first rank) and in the base folder (with the base).
class StressGame {
public:
    StressGame() {
        registry.SetDword(L"", L"AutoRes", 1);
        registry.SetDword(L"", L"EnablePreloadPVK", 1);
        registry.SetString(L"Fonts", L"TimesNewRoman", L"Tahoma");
        registry.SetString(L"Fonts", L"MingLiU", L"Tahoma");
        registry.SetDword(L"Fonts", L"MingLiUScale", 150);
        game.InstallOriginalAvi();
        game.Write("ModRoute.ini", "[Settings]\r\nSelectedMod=Blades\r\n");

        // Loose files: the game folder wins over the mod, the mod over base.
        Loose("game", "texture\\game.dds", 3000);
        Loose("mods\\Blades", "texture\\game.dds", 3100);
        Read("texture\\game.dds", {Loose("game", "texture\\game.dds", 3000)});
        Read("texture\\hero.dds", {Loose("base", "texture\\hero.dds", 9000), Loose("mods\\Blades", "texture\\hero.dds", 70000)});
        Read("music\\theme.ogg", {Loose("base", "music\\theme.ogg", 1 << 20)});
        Read("texture\\modonly.dds", {"missing", Loose("mods\\Blades", "texture\\modonly.dds", 500)});
        Read("texture\\" + kBlade + ".dds",
             {Loose("base", "texture\\" + kBlade + ".dds", 700), Loose("mods\\Blades", "texture\\" + kBlade + ".dds", 800)});
        // A picture is read whole into memory and served through a virtual handle.
        Read("texture\\pic.jpg", {Loose("base", "texture\\pic.jpg", 20000), Loose("mods\\Blades", "texture\\pic.jpg", 30000)});

        // A system pack of the mod, preloaded at attach: first from the start.
        const std::string button = Tag("packmod", "ui/button.dds", 4000);
        const std::string panel = Tag("packmod", "ui/panel.dds", 200);
        e2e::WritePack(game, "mods\\Blades\\texture.pvk",
                       {{"ui", "button.dds", standin::StressContent(button)}, {"ui", "panel.dds", standin::StressContent(panel)}});
        Loose("base", "ui\\button.dds", 100);
        Read("ui\\button.dds", {button});
        Read("ui\\panel.dds", {panel});
        // A mod pack above the preload limit: the pack index thread registers it.
        const std::string boom = Tag("packmod-late", "sfx/boom.wav", 12000);
        e2e::WritePack(game, "mods\\Blades\\sounds.pvk", {{"sfx", "boom.wav", standin::StressContent(boom)}}, 60 * kMiB);
        Read("sfx\\boom.wav", {Loose("base", "sfx\\boom.wav", 11000), boom});
        // A pack of the base folder: registered later, ranked with the base folder.
        const std::string packed = Tag("packbase", "data/packed.txt", 300);
        const std::string over = Tag("packbase", "data/over.txt", 400);
        const std::string shadow = Tag("packbase", "data/shadow.txt", 500);
        e2e::WritePack(game, "base\\data.pvk",
                       {{"data", "packed.txt", standin::StressContent(packed)},
                        {"data", "over.txt", standin::StressContent(over)},
                        {"data", "shadow.txt", standin::StressContent(shadow)}});
        Read("data\\packed.txt", {"missing", packed});
        Read("data\\over.txt", {"missing", over, Loose("mods\\Blades", "data\\over.txt", 600)});
        Read("data\\shadow.txt", {Loose("base", "data\\shadow.txt", 700), shadow});

        // AutoRes: an sn folder and a free-named map folder, which gets map 2.
        game.Write("base\\Tavren.res", testsupport::AsString(testsupport::GameIndex({"Plains", "Harbor", "Citadel"})));
        game.Write("mods\\Blades\\sn01\\sn01.des", "GModel Description File V1.0\r\nDark Forest\r\nSceneObjects 3\r\n");
        game.Write("mods\\Blades\\Abbey\\abbey.gmb", "g");
        Read("sn01\\x.txt", {Loose("base", "sn01\\x.txt", 100), Loose("mods\\Blades", "sn01\\x.txt", 200)});
        Read("sn02\\x.txt", {Loose("base", "sn02\\x.txt", 300), Loose("mods\\Blades", "Abbey\\x.txt", 400)});
        Read("Tavren.res", {"@base\\Tavren.res", "@mods\\Blades\\Tavren.res"});
        // A path never asked before at every turn: first lookups all the time.
        Read("texture\\{n}.dds", {"missing"});

        Line("attr", "texture\\game.dds", {"file"});
        Line("attr", "texture", {"dir"});
        Line("attr", "sn02", {"missing", "dir"});
        // A packed file answers from its record once a thread has opened it.
        Line("attr", "ui\\panel.dds", {"missing", "file"});

        Line("find", "ui\\*", {"button.dds,panel.dds"});
        Line("find", "sfx\\*", {"missing", "boom.wav"});
        Line("find", "data\\*.txt", {"missing", "over.txt,packed.txt,shadow.txt"});
        Line("find", "texture\\*.dds", {"game.dds"});
        Line("find", "mods\\Blades\\sn02\\*.txt", {"missing", "x.txt"});

        for (const char* folder : {"mods\\Blades\\lib", "base\\lib"}) gamerun::MakeFolders(game.PathOf(folder));
        gamerun::CopyBinary(L"AVIFIL32_original.dll", game.PathOf("mods\\Blades\\lib\\modlib.dll"));
        gamerun::CopyBinary(L"AVIFIL32_original.dll", game.PathOf("base\\lib\\baselib.dll"));
        Line("loadlib", "lib\\modlib.dll", {"missing", "mods\\Blades\\lib\\modlib.dll"});
        Line("loadlib", "lib\\baselib.dll", {"base\\lib\\baselib.dll"});

        Line("font", "Times New Roman", {"ok"});
        Line("font", "MingLiU", {"ok"});
        game.Write("stress-plan.txt", m_plan);
    }

    int PlanLines() const { return m_lines; }

    gamerun::ManagerRegistry registry;
    Game game;

private:
    // Writes the file of the folder ("game" for the game folder) with the
    // bytes of its tag; gives the tag.
    std::string Loose(const std::string& folder, const std::string& path, int size) {
        std::string slashed = path;
        for (char& c : slashed) c = c == '\\' ? '/' : c;
        const std::string tag = Tag(folder == "game" ? "game" : folder.substr(0, 4), slashed, size);
        game.Write(folder == "game" ? path : folder + "\\" + path, standin::StressContent(tag));
        return tag;
    }
    void Read(const std::string& path, const std::vector<std::string>& answers) { Line("read", path, answers); }
    void Line(const std::string& kind, const std::string& argument, const std::vector<std::string>& answers) {
        std::string joined;
        for (const std::string& answer : answers) joined += (joined.empty() ? "" : "|") + answer;
        m_plan += kind + "\t" + argument + "\t" + joined + "\n";
        ++m_lines;
    }

    std::string m_plan;
    int m_lines = 0;
};

TEST(Stress, EightThreadsFromAttachRaceEveryBackgroundStageAndLoseNothing) {
    int operations = kOperations;
    if (const char* configured = std::getenv("MODROUTE_STRESS_OPERATIONS")) operations = std::atoi(configured);
    StressGame stress;
    const int rounds = (operations + stress.PlanLines() - 1) / stress.PlanLines();
    // Beyond the font thread's 3 s, whatever the machine's speed.
    const std::string line = "mixedstress " + std::to_string(kThreads) + " " + std::to_string(rounds) + " 4000 20 stress-plan.txt";
    // A thread that hangs shows as a run that never ends: bounded here.
    const GameRun run = stress.game.Run({line}, 60000 + static_cast<DWORD>(operations) * 5);
    ASSERT_FALSE(run.timedOut);
    EXPECT_TRUE(run.exceptions.empty()) << run.DebugText();
    EXPECT_EQ(run.exitCode, 0u);
    const std::string result = run.Result("mixedstress", line.substr(12));
    std::map<std::string, std::string> fields = gamerun::ResultFields(result);
    ASSERT_EQ(result.substr(0, 3), "ok\t") << result;
    EXPECT_GE(std::atoll(fields["operations"].c_str()),
              static_cast<long long>(kThreads) * rounds * stress.PlanLines()) << result;
    EXPECT_EQ(fields["wrong"], "0") << result;
    EXPECT_EQ(fields["regressions"], "0") << result;
    EXPECT_EQ(fields["late"], "0") << result;
    EXPECT_EQ(fields["initialized"], "yes") << result;
    EXPECT_EQ(fields["unsettled"], "-") << result;
    const std::string handles = fields["handles"];
    EXPECT_EQ(handles.substr(0, handles.find(',')), handles.substr(handles.find(',') + 1)) << result;
    const std::string reserved = fields["reserved"];
    EXPECT_EQ(reserved.substr(0, reserved.find(',')), reserved.substr(reserved.find(',') + 1)) << result;
    std::printf("[ stress   ] %s\n", result.c_str());

    // AutoRes wrote the mod's index while the threads ran.
    std::string index;
    ASSERT_TRUE(gamerun::ReadFile(stress.game.PathOf("mods\\Blades\\Tavren.res"), index));
    const testsupport::MapListing expected = {{"Dark Forest", 1}, {"Abbey", 2}};
    EXPECT_EQ(testsupport::ListedMaps(index), expected);
}

}  // namespace
