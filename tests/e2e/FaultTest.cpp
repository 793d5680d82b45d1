// Faults around the running stand-in game: damaged and vanishing packs, map
// indexes AutoRes cannot build from or cannot write, text files in broken
// encodings, the selected mod's folder renamed away while the game runs, and
// a process crowded with handles. In each the game goes on with its own
// behaviour, nothing it could read before is lost, and the base folder is
// exactly as it was.
#include <gtest/gtest.h>

#include <windows.h>

#include <map>

#include "GameHarness.h"
#include "GamePacks.h"
#include "support/ResBytes.h"

namespace {

using gamerun::Game;
using gamerun::GameRun;

constexpr std::uint64_t kMiB = 1024 * 1024;

std::string Data(const std::string& result) {
    const std::size_t start = result.find("data=");
    if (start == std::string::npos) return result;
    return result.substr(start + 5, result.find('\t', start) - start - 5);
}

// The head of the data a ReadModFile call line reports.
std::string ExportedHead(const std::string& result) {
    const std::size_t head = result.find("\thead=");
    return head == std::string::npos ? result : result.substr(head + 6);
}

std::string ReadBytes(const std::string& path) {
    std::string bytes;
    gamerun::ReadFile(path, bytes);
    return bytes;
}

// Every file below a folder (relative path, UTF-8) with a hash of its bytes.
void Snapshot(const std::string& folder, const std::string& relative, std::map<std::string, std::size_t>& files) {
    WIN32_FIND_DATAW data;
    const std::string here = relative.empty() ? folder : folder + "\\" + relative;
    HANDLE search = FindFirstFileW(gamerun::Widen(here + "\\*").c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const std::string name = gamerun::Utf8(data.cFileName);
        if (name == "." || name == "..") continue;
        const std::string path = relative.empty() ? name : relative + "\\" + name;
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            files[path + "\\"] = 0;
            Snapshot(folder, path, files);
        } else {
            files[path] = std::hash<std::string>{}(ReadBytes(folder + "\\" + path));
        }
    } while (FindNextFileW(search, &data));
    FindClose(search);
}

// A pack's 32-bit header field at offset set to value.
std::string WithField(std::string pack, std::size_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) pack[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    return pack;
}

// A game with the mod Blades selected.
class FaultTest : public ::testing::Test {
protected:
    void SetUp() override {
        game.InstallOriginalAvi();
        game.Write("ModRoute.ini", "[Settings]\r\nSelectedMod=Blades\r\n");
        game.Write("base\\base.ini", "[ModInfo]\r\ntitle=Base\r\n");
        game.Write("base\\texture\\hero.dds", "base hero");
        game.Write("mods\\Blades\\texture\\hero.dds", "mod hero");
        game.Write("texture\\game.dds", "game copy");
    }
    // Plays the script; the base folder must be the same before and after.
    GameRun Play(const std::vector<std::string>& script) {
        std::map<std::string, std::size_t> before;
        Snapshot(game.PathOf("base"), "", before);
        GameRun run = game.Run(script);
        EXPECT_FALSE(run.timedOut);
        EXPECT_EQ(run.exitCode, 0u) << run.DebugText();
        EXPECT_TRUE(run.exceptions.empty()) << run.DebugText();
        EXPECT_EQ(run.outputLines.size(), script.size() + 1) << "the game did not play to the end";
        std::map<std::string, std::size_t> after;
        Snapshot(game.PathOf("base"), "", after);
        EXPECT_EQ(after, before) << "the base folder changed";
        return run;
    }

    gamerun::ManagerRegistry registry;
    Game game;
};

TEST_F(FaultTest, DamagedPacksGiveWhatTheyHoldAndTheDiskTheRest) {
    const std::string good = e2e::PackBytes({{"texture", "good.dds", "packed good"}});
    const std::string cut =
        e2e::PackBytes({{"texture", "kept.dds", "packed kept"}, {"texture", "cut.dds", std::string(5000, 'c')}});
    const std::string lost = e2e::PackBytes({{"texture", "lost.dds", "packed lost"}});
    const std::string declared = e2e::PackBytes({{"texture", "declared.dds", "packed declared"}});
    game.Write("mods\\Blades\\good.pvk", good);
    game.Write("mods\\Blades\\a_header_cut.pvk", lost.substr(0, 600));
    game.Write("mods\\Blades\\b_wrong_magic.pvk", "PVK3" + lost.substr(4));
    game.Write("mods\\Blades\\c_variable_block_too_long.pvk", WithField(lost, 904, 0xFFFFFFF0u));
    game.Write("mods\\Blades\\d_table_runs_off.pvk", lost.substr(0, 1116) + "\xFF\xFF" + lost.substr(1118));
    game.Write("mods\\Blades\\e_content_beyond_file.pvk", WithField(lost, 1072, 0x40000000u));
    game.Write("mods\\Blades\\f_data_cut.pvk", cut.substr(0, cut.size() - 2000));
    game.Write("mods\\Blades\\g_content_declared_longer.pvk", WithField(declared, 1076, 0x7FFFFFF0u));
    game.Write("base\\texture\\lost.dds", "base lost");
    game.Write("base\\texture\\cut.dds", "base cut");

    std::vector<std::string> script = {"call InitializeTavrenModSystem", "sleep 300"};
    const char* opens[] = {"createa", "createw", "fopen", "open"};
    const char* files[] = {"good", "kept", "cut", "lost", "declared"};
    for (const char* op : opens) {
        for (const char* file : files) script.push_back(std::string(op) + " texture\\" + file + ".dds");
    }
    script.push_back("call ReadModFile texture\\cut.dds");
    const GameRun run = Play(script);
    for (const char* op : opens) {
        EXPECT_EQ(Data(run.Result(op, "texture\\good.dds")), "packed good") << op;
        EXPECT_EQ(Data(run.Result(op, "texture\\kept.dds")), "packed kept") << op;
        EXPECT_EQ(Data(run.Result(op, "texture\\declared.dds")), "packed declared") << op;
        // The pack lists the file but holds only part of its data: the base folder's copy.
        EXPECT_EQ(Data(run.Result(op, "texture\\cut.dds")), "base cut") << op;
        EXPECT_EQ(Data(run.Result(op, "texture\\lost.dds")), "base lost") << op;
    }
    EXPECT_EQ(ExportedHead(run.Result("call", "ReadModFile texture\\cut.dds")), "base cut");
}

TEST_F(FaultTest, APackDeletedAfterPreloadIsServedFromMemoryAndOneReadOnDemandFallsBackToTheDisk) {
    registry.SetDword(L"", L"EnablePreloadPVK", 1);
    e2e::WritePack(game, "mods\\Blades\\early.pvk", {{"texture", "early.dds", "packed early"}});
    // Above the level's limit: registered by the pack index thread, read on demand.
    e2e::WritePack(game, "mods\\Blades\\late.pvk",
                   {{"texture", "late.dds", "packed late"}, {"texture", "lateonly.dds", "only packed"}}, 60 * kMiB);
    game.Write("base\\texture\\early.dds", "base early");
    game.Write("base\\texture\\late.dds", "base late");
    const GameRun run = Play({"call InitializeTavrenModSystem", "waitopen 30000 texture\\lateonly.dds", "createa texture\\late.dds",
                              "delete mods\\Blades\\early.pvk", "delete mods\\Blades\\late.pvk",
                              "createw texture\\early.dds", "open texture\\early.dds", "createw texture\\late.dds",
                              "fopen texture\\late.dds", "open texture\\late.dds", "call ReadModFile texture\\late.dds",
                              "createa texture\\lateonly.dds", "fopen texture\\lateonly.dds"});
    ASSERT_EQ(run.Result("waitopen", "30000 texture\\lateonly.dds"), "ok") << "the pack was never registered";
    ASSERT_EQ(Data(run.Result("createa", "texture\\late.dds")), "packed late");
    EXPECT_EQ(Data(run.Result("createw", "texture\\early.dds")), "packed early");
    EXPECT_EQ(Data(run.Result("open", "texture\\early.dds")), "packed early");
    for (const char* op : {"createw", "fopen", "open"}) {
        EXPECT_EQ(Data(run.Result(op, "texture\\late.dds")), "base late") << op;
    }
    EXPECT_EQ(ExportedHead(run.Result("call", "ReadModFile texture\\late.dds")), "base late");
    // Found nowhere else: the game's own failure.
    EXPECT_EQ(run.Result("createa", "texture\\lateonly.dds"), "fail\terror=2");
    EXPECT_EQ(run.Result("fopen", "texture\\lateonly.dds"), "fail\terrno=2");
}

TEST_F(FaultTest, TheModFolderRenamedAwayWhileTheGameRunsFallsBackToBaseAndMemory) {
    e2e::WritePack(game, "mods\\Blades\\texture.pvk", {{"ui", "button.dds", "packed button"}});
    game.Write("mods\\Blades\\texture\\modonly.dds", "mod only");
    for (const char* folder : {"mods\\Blades\\lib", "base\\lib"}) {
        gamerun::MakeFolders(game.PathOf(folder));
        for (const char* library : {"a.dll", "w.dll"}) {
            gamerun::CopyBinary(L"AVIFIL32_original.dll", game.PathOf(std::string(folder) + "\\" + library));
        }
    }
    // Every path is answered once before the folder goes: the answers name the mod.
    const GameRun run = Play({"call InitializeTavrenModSystem", "createa texture\\hero.dds", "createa texture\\modonly.dds",
                              "call ResolvePath lib\\a.dll", "call ResolvePath lib\\w.dll",
                              "move mods\\Blades mods\\Gone", "createw texture\\hero.dds", "fopen texture\\hero.dds",
                              "open texture\\hero.dds", "fopen_s texture\\hero.dds", "call ReadModFile texture\\hero.dds",
                              "createw texture\\modonly.dds", "loadlib lib\\a.dll", "loadlibw lib\\w.dll",
                              "fwrite texture\\hero.dds",
                              "createa ui\\button.dds", "createa texture\\game.dds"});
    ASSERT_EQ(Data(run.Result("createa", "texture\\hero.dds")), "mod hero");
    ASSERT_EQ(run.Result("call", "ResolvePath lib\\a.dll"), "ok\t" + game.PathOf("mods\\Blades\\lib\\a.dll"));
    ASSERT_EQ(run.Result("move", "mods\\Blades mods\\Gone"), "ok");
    for (const char* op : {"createw", "fopen", "open", "fopen_s"}) {
        EXPECT_EQ(Data(run.Result(op, "texture\\hero.dds")), "base hero") << op;
    }
    EXPECT_EQ(ExportedHead(run.Result("call", "ReadModFile texture\\hero.dds")), "base hero");
    EXPECT_EQ(run.Result("loadlib", "lib\\a.dll"), "ok\t" + game.PathOf("base\\lib\\a.dll"));
    EXPECT_EQ(run.Result("loadlibw", "lib\\w.dll"), "ok\t" + game.PathOf("base\\lib\\w.dll"));
    // Found nowhere now: the game's own failure for its own path.
    EXPECT_EQ(run.Result("createw", "texture\\modonly.dds"), "fail\terror=2");
    // A write sent to the mod's folder never lands anywhere else.
    EXPECT_EQ(run.Result("fwrite", "texture\\hero.dds"), "fail\terrno=2");
    EXPECT_EQ(Data(run.Result("createa", "ui\\button.dds")), "packed button");
    EXPECT_EQ(Data(run.Result("createa", "texture\\game.dds")), "game copy");
}

// The bytes of a literal, NULs included.
template <std::size_t N>
std::string Bytes(const char (&literal)[N]) {
    return std::string(literal, N - 1);
}

TEST_F(FaultTest, TextFilesInBrokenEncodingsLeaveTheGameRunning) {
    const struct {
        const char* what;
        std::string settings;     // ModRoute.ini
        std::string description;  // mods\Blades\Blades.ini
        const char* hero;         // who serves texture\hero.dds
    } cases[] = {
        {"UTF-8 settings that are not UTF-8", "\xEF\xBB\xBF[Settings]\r\nSelectedMod=Bl\xFF\xFE" "des\r\n", "", "base hero"},
        {"a GBK lead byte without its trail", "[Settings]\r\nSelectedMod=Blades\x81", "", "base hero"},
        {"UTF-16 settings", Bytes("\xFF\xFE[\0S\0]\0\r\0\n\0"), "", "base hero"},
        {"a description of bytes that are no text", "[Settings]\r\nSelectedMod=Blades\r\n",
         "[ModInfo]\r\ntitle=\xFF\xFE\x80\r\nauthor=\xC3\r\nversion=\xE5\x88\r\n[ModConfig]\r\n\xFF=\xFE\r\n"
         "texture\\*.dds=\x81\r\n",
         "mod hero"},
        {"a UTF-16 description", "[Settings]\r\nSelectedMod=Blades\r\n",
         Bytes("\xFF\xFE[\0M\0o\0d\0I\0n\0f\0o\0]\0\r\0\n\0t\0=\0\x00\xD8\r\0\n\0"), "mod hero"},
    };
    game.Write("base\\base.ini", "\xEF\xBB\xBF[ModInfo]\r\ntitle=\xC0\xC1\xF5\xFF\r\n[ModConfig]\r\n\xFE\r\n");
    for (const auto& c : cases) {
        game.Write("ModRoute.ini", c.settings);
        game.Write("mods\\Blades\\Blades.ini", c.description);
        const GameRun run = Play({"call InitializeTavrenModSystem", "createa texture\\hero.dds", "call GetModSystemVersion"});
        EXPECT_EQ(run.Result("call", "InitializeTavrenModSystem"), "ok\tresult=true") << c.what;
        EXPECT_EQ(Data(run.Result("createa", "texture\\hero.dds")), c.hero) << c.what;
    }
}

TEST_F(FaultTest, AProcessHoldingThousandsOfHandlesStillGetsVirtualHandlesAndSearches) {
    e2e::WritePack(game, "mods\\Blades\\texture.pvk", {{"ui", "button.dds", "packed button"}, {"ui", "panel.dds", "packed panel"}});
    game.Write("mods\\Blades\\texture\\pic.jpg", "0123456789");
    const GameRun run = Play({"call InitializeTavrenModSystem", "realhandles 6000", "createa ui\\button.dds",
                              "fopen ui\\panel.dds", "find ui\\*", "handles texture\\pic.jpg",
                              "virtualbesidereal 200 ui\\button.dds", "createa texture\\hero.dds"});
    EXPECT_EQ(run.Result("realhandles", "6000"), "ok\tkept=6000");
    EXPECT_EQ(Data(run.Result("createa", "ui\\button.dds")), "packed button");
    EXPECT_EQ(Data(run.Result("fopen", "ui\\panel.dds")), "packed panel");
    EXPECT_EQ(run.Result("find", "ui\\*"), "ok\tbutton.dds,panel.dds");
    EXPECT_EQ(run.Result("handles", "texture\\pic.jpg").substr(0, 46), "ok\ttype=1\tsize=10/0\tsizeex=10\tinfo=0x80,10,0,1");
    EXPECT_EQ(run.Result("virtualbesidereal", "200 ui\\button.dds"), "ok\tcollisions=0\treadable=200\tdistinct=200");
    EXPECT_EQ(Data(run.Result("createa", "texture\\hero.dds")), "mod hero");
}

// AutoRes with a map index already in the mod (maps Dark Forest and Abbey),
// and a new map folder that makes every mode want to write a new one.
class PreviousIndexTest : public FaultTest {
protected:
    void SetUp() override {
        FaultTest::SetUp();
        game.Write("base\\Tavren.res", kBaseIndex);
        game.Write("mods\\Blades\\sn01\\sn01.des", "GModel Description File V1.0\r\nDark Forest\r\nSceneObjects 3\r\n");
        game.Write("mods\\Blades\\Abbey\\abbey.gmb", "g");
        game.Write("mods\\Blades\\Abbey\\x", "from Abbey");
        game.Write("mods\\Blades\\Castle\\castle.gmb", "g");
        game.Write("mods\\Blades\\Tavren.res", kPrevious);
    }
    // Plays one start in the mode and checks that the previous index is
    // still there, byte for byte, and still leads sn02 to Abbey.
    void ExpectPreviousIndexKept(DWORD mode, const std::string& what) {
        registry.SetDword(L"", L"AutoRes", mode);
        const GameRun run = Play({"call InitializeTavrenModSystem", "createa sn02\\x"});
        EXPECT_EQ(ReadBytes(game.PathOf("mods\\Blades\\Tavren.res")), kPrevious) << what << ", mode " << mode;
        EXPECT_EQ(Data(run.Result("createa", "sn02\\x")), "from Abbey") << what << ", mode " << mode;
    }

    const std::string kBaseIndex = testsupport::AsString(testsupport::GameIndex({"Plains", "Harbor", "Citadel"}));
    const std::string kPrevious = testsupport::AsString(testsupport::GameIndex({"Dark Forest", "Abbey"}));
};

TEST_F(PreviousIndexTest, ABaseIndexTooShortOrWithoutMapsLeavesIt) {
    const std::string header = testsupport::AsString(testsupport::ResHeader(710));
    const std::string gameData = testsupport::AsString(testsupport::GameData());
    const struct {
        const char* what;
        std::string base;
        std::vector<DWORD> modes;
    } cases[] = {
        {"a base index of 53 bytes", kBaseIndex.substr(0, 53), {1, 2, 3}},
        {"an empty base index", "", {1}},
        {"a base index of its header alone", header, {1, 2}},
        {"a base index without map blocks", header + gameData, {1}},
    };
    for (const auto& c : cases) {
        game.Write("base\\Tavren.res", c.base);
        for (const DWORD mode : c.modes) ExpectPreviousIndexKept(mode, c.what);
    }
}

TEST_F(PreviousIndexTest, AReadOnlyIndexIsLeftAsItIs) {
    const std::wstring index = gamerun::Widen(game.PathOf("mods\\Blades\\Tavren.res"));
    ASSERT_TRUE(SetFileAttributesW(index.c_str(), FILE_ATTRIBUTE_READONLY));
    for (const DWORD mode : {1u, 2u, 3u}) {
        ExpectPreviousIndexKept(mode, "read-only");
        EXPECT_NE(GetFileAttributesW(index.c_str()) & FILE_ATTRIBUTE_READONLY, 0u) << mode;
        EXPECT_FALSE(gamerun::PathExists(game.PathOf("mods\\Blades\\Tavren.res.new"))) << mode;
    }
    SetFileAttributesW(index.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(PreviousIndexTest, NoRoomForTheNewIndexLeavesTheOldOneAndWhatWasInTheWay) {
    const std::string blocker = game.PathOf("mods\\Blades\\Tavren.res.new");
    gamerun::MakeFolders(blocker);
    ExpectPreviousIndexKept(1, "a folder where the new index goes");
    EXPECT_EQ(GetFileAttributesW(gamerun::Widen(blocker).c_str()) & FILE_ATTRIBUTE_DIRECTORY,
              static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    RemoveDirectoryW(gamerun::Widen(blocker).c_str());

    game.Write("mods\\Blades\\Tavren.res.new", "in the way");
    ASSERT_TRUE(SetFileAttributesW(gamerun::Widen(blocker).c_str(), FILE_ATTRIBUTE_READONLY));
    ExpectPreviousIndexKept(1, "a read-only file where the new index goes");
    EXPECT_EQ(ReadBytes(blocker), "in the way");
    SetFileAttributesW(gamerun::Widen(blocker).c_str(), FILE_ATTRIBUTE_NORMAL);
}

}  // namespace
