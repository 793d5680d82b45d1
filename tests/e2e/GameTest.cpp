// The game's own process, played by the stand-in game. Most cases are rows of
// a differential runner: the same script of game operations played in a game
// folder with the DLL installed, a mod selected and mod, base and packed files
// laid out, and in a plain folder without the DLL where the files that should
// win have simply been copied over the game folder (packed before the game
// folder's own, then the mod's, then the base's). Every result line, bytes and
// error values included, must be the same unless a row gives the DLL's answer
// itself: Windows (Wine) is the oracle, and a case costs one row. The rest is
// what only a real process shows: the attach and detach lines, AVIFileInit
// forwarding, unloading, code patches, fonts, and threads racing the start-up.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>

#include "GameHarness.h"
#include "common/MapId.h"
#include "support/ResBytes.h"
#include "support/TempDir.h"
#include "vfs/PvkFormat.h"

namespace {

using gamerun::Game;
using gamerun::GameRun;

struct File {
    std::string where;  // game | mod | base | a pack's path in the game folder | raw (exactly where the path says)
    std::string path;
    std::string bytes;  // "<dll>": a copy of a stand-in library
};
struct Row {
    std::string line;      // "*open PATH" stands for the five open functions
    std::string answer{};  // the DLL's answer where it differs from the plain folder's
};
struct World {
    std::string folder = "game";
    std::string mod = "Blades";
    std::vector<File> files;
    std::vector<Row> rows;
    std::map<std::wstring, DWORD> registry{};
};

std::string PackBytes(const std::vector<const File*>& files) {
    std::vector<modroute::PvkPackEntry> entries;
    for (const File* f : files) {
        const std::size_t slash = f->path.rfind('\\');
        entries.push_back({f->path.substr(slash + 1), f->path.substr(0, slash),
                           {reinterpret_cast<const std::uint8_t*>(f->bytes.data()), f->bytes.size()}});
    }
    std::vector<std::uint8_t> pack;
    EXPECT_EQ(modroute::WritePvk(entries, {}, pack), modroute::PvkWriteError::None);
    return std::string(pack.begin(), pack.end());
}

void Put(gamerun::Game& game, const std::string& path, const std::string& bytes) {
    if (bytes == "<dll>" || bytes == "<plugin>") {
        gamerun::MakeFolders(game.PathOf(path.substr(0, path.rfind('\\'))));
        gamerun::CopyBinary(bytes == "<dll>" ? L"AVIFIL32_original.dll" : L"Plugin.dll", game.PathOf(path));
    } else {
        game.Write(path, bytes);
    }
}

std::string Placed(const World& world, const File& f) {
    return f.where == "mod" ? "mods\\" + world.mod + "\\" + f.path : f.where == "base" ? "base\\" + f.path : "";
}

void Lay(gamerun::Game& game, const World& world, bool plain) {
    game.Write("ModRoute.ini", "\xEF\xBB\xBF[Settings]\r\nSelectedMod=" + world.mod + "\r\n");
    std::map<std::string, std::vector<const File*>> packs;
    std::map<std::string, std::pair<int, std::string>> winners;  // game path -> rank, bytes
    const std::map<std::string, int> ranks = {{"game", 1}, {"mod", 2}, {"base", 3}};
    for (const File& f : world.files) {
        const auto rank = ranks.find(f.where);
        if (f.where == "raw") {
            Put(game, f.path, f.bytes);
        } else if (rank == ranks.end()) {
            packs[f.where].push_back(&f);
        } else {
            Put(game, f.where == "game" ? f.path : Placed(world, f), f.bytes);
        }
        const int r = rank == ranks.end() ? f.where == "raw" ? 9 : 0 : rank->second;
        if (!winners.count(f.path) || winners[f.path].first > r) winners[f.path] = {r, f.bytes};
    }
    for (const auto& [pack, files] : packs) game.Write(pack, PackBytes(files));
    game.InstallOriginalAvi();
    if (!plain) return;
    gamerun::CopyBinary(L"AVIFIL32_original.dll", game.PathOf("AVIFIL32.dll"));  // in place of the DLL
    for (const auto& [path, winner] : winners) {
        if (winner.first != 1 && winner.first != 9) Put(game, path, winner.second);
    }
}

std::vector<std::string> Played(gamerun::Game& game, const std::vector<std::string>& script,
                                const std::string& executable = "Tavren.exe", gamerun::GameRun* kept = nullptr) {
    gamerun::GameRun played;
    gamerun::GameRun& run = kept != nullptr ? *kept : played;
    run = game.Run(script, 60000, executable);
    EXPECT_FALSE(run.timedOut);
    EXPECT_TRUE(run.exceptions.empty()) << run.DebugText();
    std::vector<std::string> results;
    for (std::string line : run.outputLines) {
        for (std::size_t at; (at = line.find(game.Folder())) != std::string::npos;) line.replace(at, game.Folder().size(), "<game>");
        results.push_back(line.substr(line.find('\t', line.find('\t') + 1) + 1));
    }
    results.resize(script.size() + 1);
    return results;
}

void PlayBoth(const World& world) {
    gamerun::ManagerRegistry registry;
    for (const auto& [name, value] : world.registry) {
        const std::size_t slash = name.rfind(L'\\');
        registry.SetDword(slash == std::wstring::npos ? L"" : name.substr(0, slash), name.substr(slash + 1), value);
    }
    std::vector<std::string> script = {"call InitializeTavrenModSystem"};
    std::vector<const Row*> rows;
    for (const Row& row : world.rows) {
        for (const char* op : {"createa", "createw", "fopen", "fopen_s", "open"}) {
            if (row.line.rfind("*open ", 0) != 0) break;
            script.push_back(op + row.line.substr(5));
            rows.push_back(&row);
        }
        if (row.line.rfind("*open ", 0) != 0) script.push_back(row.line), rows.push_back(&row);
    }
    gamerun::Game hooked(world.folder), plain(world.folder);
    Lay(hooked, world, false);
    Lay(plain, world, true);
    const std::vector<std::string> withDll = Played(hooked, script), without = Played(plain, script);
    EXPECT_EQ(withDll[0], without[0]) << "AVIFileInit";
    EXPECT_EQ(withDll[1], "ok\ttrue");
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(withDll[i + 2], rows[i]->answer.empty() ? without[i + 2] : rows[i]->answer)
            << world.folder << ": " << script[i + 1];
    }
    // Whatever the game did, no mod's or base's file changed (one the game moved away by name is gone).
    for (const File& f : world.files) {
        std::string bytes;
        if (!Placed(world, f).empty() && f.bytes[0] != '<' && gamerun::ReadFile(hooked.PathOf(Placed(world, f)), bytes)) {
            EXPECT_EQ(bytes, f.bytes) << f.where << ": " << f.path;
        }
    }
}

// What createa prints for a file of these bytes.
std::string Read(const std::string& data) {
    return "ok\tsize=" + std::to_string(data.size()) + "\tdata=" + data + "\thead=" + data.substr(0, 4);
}
std::string DesText(const std::string& name) { return "GModel Description File V1.0\r\n" + name + "\r\nSceneObjects 3\r\n"; }
std::string Exported(const std::string& data) { return "ok\tresult=" + std::to_string(data.size()) + "\tdata=" + data; }

TEST(Differential, LooseFilesLibrariesWritesHandlesAndExports) {
    const std::string longest = "texture" + std::string(1006, '\\') + "modonly.dds";  // 1024 bytes
    PlayBoth({"game", "Blades",
              {{"mod", "texture\\modonly.dds", "mod only"}, {"base", "texture\\modonly.dds", "base loses"},
               {"base", "texture\\baseonly.dds", "base only"}, {"game", "texture\\both.dds", "game copy"},
               {"mod", "texture\\both.dds", "mod loses"}, {"mod", "texture\\pic.jpg", "0123456789"},
               {"mod", "texture\\saved.dat", "the mod's own"}, {"mod", "texture\\empty.dds", ""}, {"mod", "texture\\gone.dds", "gone"},
               {"mod", "sn03\\render.json", "{mod}"}, {"base", "sn03\\render.json", "{base}"},
               {"mod", "lib\\modlib.dll", "<dll>"}, {"base", "lib\\baselib.dll", "<dll>"}, {"game", "lib\\both.dll", "<dll>"},
               {"mod", "lib\\both.dll", "<dll>"}, {"mod", "lib\\\xE5\x88\x80.dll", "<dll>"},
               {"raw", "work\\local.txt", "current folder"}, {"mod", "modonly\\a.txt", "a"}},
              {{"createa texture\\modonly.dds", Read("mod only")},  // the stand-in itself reads faithfully
               {"*open texture\\modonly.dds"}, {"*open texture\\baseonly.dds"}, {"*open texture\\both.dds"},
               {"*open texture\\nowhere.dds"}, {"attr texture\\nowhere.dds"},
               // Missing in a folder only the mod has: a missing file, not a missing path.
               {"*open modonly\\missing.txt"}, {"attrex modonly\\missing.txt"}, {"attr modonly\\deeper\\missing.txt"}, {"attrex TEXTURE\\modonly.dds"}, {"attrex texture\\.\\baseonly.dds"}, {"createa texture\\empty.dds"},
               {"createa maps\\sn03\\render.json", Read("{mod}")}, {"handles texture\\modonly.dds"},
               {"morehandles texture\\baseonly.dds"}, {"crt texture\\modonly.dds"}, {"findex texture\\*"}, {"find texture\\*only.dds"},
               // Pictures are served through virtual handles, whose seeks stay inside the data.
               {"handles texture\\pic.jpg"}, {"morehandles texture\\pic.jpg"}, {"crt texture\\pic.jpg"},
               {"realhandles 3200"}, {"virtualbesidereal 300 texture\\pic.jpg"}, {"loadlib lib\\modlib.dll", "ok\tmods\\Blades\\lib\\modlib.dll"},
               {"loadlibw lib\\baselib.dll", "ok\tbase\\lib\\baselib.dll"}, {"loadlib lib\\both.dll"},
               {"loadlibw lib\\missing.dll"}, {"loadlibw lib\\\xE5\x88\x80.dll", "ok\tmods\\Blades\\lib\\\xE5\x88\x80.dll"},
               {"write texture\\saved.dat"}, {"createa texture\\saved.dat"}, {"createa mods\\Blades\\texture\\saved.dat"},
               {"call ResolvePath texture/modonly.dds", "ok\t<game>\\mods\\Blades\\texture\\modonly.dds"},
               {"call ResolvePath texture\\nowhere.dds", "ok\ttexture\\nowhere.dds"}, {"call ShouldRedirect texture\\modonly.dds", "ok\ttrue"}, {"call ShouldRedirect texture\\both.dds", "ok\tfalse"},
               {"call ValidateVFSMemory", "ok\ttrue"}, {"call GetVFSMemoryStats", "ok\tcurrent=0\tpeak=0"},
               {"call ReadModFile texture\\modonly.dds", Exported("mod only")}, {"call ReadModFile texture\\baseonly.dds", Exported("base only")},
               {"call ReadModFile texture\\both.dds", Exported("game copy")}, {"call ReadModFile " + longest, Exported("mod only")},
               {"call GetVFSMemoryStats", "ok\tcurrent=34\tpeak=34"}, {"call FreeFileBuffer", "ok\tfreed=4"}, {"call GetVFSMemoryStats", "ok\tcurrent=0\tpeak=34"},
               {"call ReadModFile \\" + longest, "ok\tresult=0\tbuffer=untouched"},
               {"call ReadModFile texture\\empty.dds", "ok\tresult=0\tbuffer=untouched"}, {"call ReadModFile -null", "ok\tresult=0\tbuffer=untouched"},
               {"call ReadModFile -nobuffer texture\\modonly.dds", "ok\tresult=0"},
               {"call GetModFileSize texture\\baseonly.dds", "ok\t9"}, {"call GetModFileSize -null", "ok\t0"},
               {"call ModFileExists texture\\empty.dds", "ok\ttrue"}, {"call ModFileExists texture", "ok\tfalse"},
               {"call ModFileExists -null", "ok\tfalse"}, {"call FreeFileBuffer -null", "ok\tfreed=0"},
               {"call GetModSystemVersion", "ok\tTavren MOD System v1.0.0 with File Redirection"},
               // The mod's folder renamed away while the game runs: the base's copy, never a stale answer.
               {"createa texture\\gone.dds"}, {"move mods\\Blades mods\\Gone"},
               {"createw texture\\modonly.dds", Read("base loses")}, {"createa texture\\gone.dds", "fail\terror=2"},
               // Found nowhere: opened from the current folder, as the game would.
               {"chdir work"}, {"call ReadModFile local.txt", Exported("current folder")}}});
}

TEST(Differential, PackedFilesBeatEvenTheGameFolder) {
    const std::string pack = "mods\\Blades\\texture.pvk";
    PlayBoth({"game", "Blades",
              {{pack, "texture\\hero.dds", "packed hero"}, {pack, "texture\\ui\\button.dds", "packed button"},
               {pack, "maps\\sn01.wp", "map one"}, {pack, "maps\\sub\\deep.wp", "deep map"},
               {"game", "texture\\hero.dds", "the game's own"}, {"game", "texture\\loose.dds", "loose"}},
              {{"*open texture\\hero.dds"}, {"*open TEXTURE\\UI\\BUTTON.DDS"}, {"attrex texture\\hero.dds"},
               {"*open texture/ui\\..\\HERO.dds.."}, {"createa texture.\\ui.\\button.dds "}, {"createa texture \\ui\\button.dds"},
               {"find texture\\ui"}, {"find texture\\nothing*"}, {"findex texture\\nothing*"}, {"find maps\\*.wp"},
               {"find texture\\*"}, {"findex texture\\*"}, {"findex maps\\*"}, {"findex maps\\sub\\*"}, {"chdir texture"},
               {"findex *"}, {"find ui\\*.dds"}, {"*open hero.dds"}, {"createa ui\\button.dds"}, {"attrex ui\\button.dds"},
               {"createa ..\\maps\\sn01.wp"}, {"createa loose.dds"}, {"chdir .."}, {"find m*"},
               {"call ResolvePath texture/hero.dds", "ok\t[VFS]texture\\hero.dds"},
               {"fopen+ texture\\hero.dds", "ok\tsize=14\tdata=the game's own\ttell=14"},  // a mode that writes: the disk
               {"createa maps\\sub\\deep.wp"},
               {"createa texture\\loose.dds"}, {"attrex Texture/UI/./x\\..\\Button.dds. "},
               {"attrex texture\\ui"}, {"attrex maps\\sub\\"}, {"createw maps\\sub\\none.wp"}, {"attr maps\\sub\\none.wp"},
               {"handles maps\\sn01.wp"}, {"morehandles maps\\sn01.wp"}, {"crt maps\\sn01.wp"}, {"morehandles texture\\ui\\button.dds"},
               {"call GetModFileSize texture\\ui\\button.dds", "ok\t13"},
               {"call ReadModFile maps\\sub\\deep.wp", Exported("deep map")}}});
}

// The game writes, appends, updates in place, creates, deletes and renames
// names that the mod, base and a pack also hold, and always reads back its own.
TEST(Differential, TheGamesOwnWritesStayInTheGameFolderAndAreReadBack) {
    const std::string at = "ok\t<game>\\";
    PlayBoth({"game", "Blades",
              {{"mod", "data\\a.txt", "mod a"}, {"base", "data\\a.txt", "base a"}, {"base", "data\\b.txt", "base b"},
               {"mod", "data\\c.txt", "mod c"}, {"mod", "data\\d.txt", "mod d"}, {"mod", "data\\e.txt", "mod e"},
               {"base", "data\\f.txt", "base f"}, {"base", "data\\r.txt", "base r"}, {"mod", "maps\\m.wp", "mod wp"},
               {"mod", "sn03\\render.json", "{mod}"}, {"base", "sn03\\render.json", "{base}"},
               {"mods\\Blades\\p.pvk", "data\\p.txt", "packed p"}, {"game", "lib\\plugin.dll", "<plugin>"},
               {"mod", "plugin\\settings.txt", "mod settings"}},
              {{"*open data\\a.txt"}, {"file createa rw data\\a.txt XY"}, {"*open data\\a.txt"}, {"attr data\\a.txt"},
               {"file fopen ab data\\b.txt +1"}, {"createa DATA\\c.txt"}, {"file open append data\\c.txt +2"}, {"file createw append data\\d.txt +3"},
               {"file fopen r+b data\\e.txt E"}, {"file open rw data\\f.txt F"}, {"file createa rwalways data\\f.txt G"},
               {"*open data\\b.txt"}, {"*open DATA\\c.txt"}, {"*open data\\d.txt"}, {"*open data\\f.txt"},
               {"file createa filereaddata data\\r.txt"}, {"file createw readalways data\\r.txt"},
               {"file createa new data\\g.txt made"}, {"*open data\\g.txt"}, {"mkdir x"}, {"mkdir x\\sn03"},
               {"file fopen wb x\\sn03\\render.json {game}"},
               {"createa x\\sn03\\render.json"}, {"file fopen r+b maps\\m.wp W"}, {"*open maps\\m.wp"},
               {"file createa rw data\\p.txt X", "fail\terror=2"}, {"file fopen wb data\\p.txt new p"}, {"*open data\\p.txt"},
               {"delete data\\a.txt"}, {"call ResolvePath data\\a.txt", at + "mods\\Blades\\data\\a.txt"},
               {"move data\\e.txt data\\e2.txt"}, {"*open data\\e2.txt"}, {"createa data\\e.txt", Read("mod e")},
               {"mkdir data\\new"}, {"file open new data\\new\\n.txt n"}, {"find data\\new\\*"}, {"attr data\\new"},
               {"loadlib lib\\plugin.dll"}}});
}

// A pack's 32-bit field at offset set to value.
std::string WithField(std::string pack, std::size_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) pack[offset + i] = static_cast<char>(value >> (8 * i));
    return pack;
}

TEST(Differential, DamagedPacksGiveWhatTheyHoldAndTheDiskTheRest) {
    const File lostFile{"", "texture\\lost.dds", "packed lost"}, cutFile{"", "texture\\cut.dds", std::string(5000, 'c')};
    const File keptFile{"", "texture\\kept.dds", "packed kept"}, declaredFile{"", "texture\\declared.dds", "declared"};
    const std::string lost = PackBytes({&lostFile}), cut = PackBytes({&keptFile, &cutFile});
    PlayBoth({"game", "Blades",
              {{"mods\\Blades\\good.pvk", "texture\\good.dds", "packed good"},
               {"raw", "mods\\Blades\\a.pvk", lost.substr(0, 600)},
               {"raw", "mods\\Blades\\b.pvk", "PVK3" + lost.substr(4)},
               {"raw", "mods\\Blades\\c.pvk", WithField(lost, 904, 0xFFFFFFF0u)},
               {"raw", "mods\\Blades\\d.pvk", lost.substr(0, 1116) + "\xFF\xFF" + lost.substr(1118)},
               {"raw", "mods\\Blades\\e.pvk", WithField(lost, 1072, 0x40000000u)},
               {"raw", "mods\\Blades\\f.pvk", cut.substr(0, cut.size() - 2000)},
               {"raw", "mods\\Blades\\g.pvk", WithField(PackBytes({&declaredFile}), 1076, 0x7FFFFFF0u)},
               {"base", "texture\\lost.dds", "base lost"}, {"base", "texture\\cut.dds", "base cut"}},
              {{"*open texture\\good.dds"}, {"*open texture\\lost.dds"}, {"*open texture\\cut.dds"},
               {"createa texture\\kept.dds", Read("packed kept")}, {"open texture\\declared.dds", "ok\tsize=8\tdata=declared\ttell=8"},
               {"call ReadModFile texture\\cut.dds", Exported("base cut")}}});
}

TEST(Differential, GameAndModFoldersOutsideCodePage936) {
    const std::string zoe = "Zo\xC3\xAB";  // Zoë: code page 936 has no ë
    PlayBoth({zoe, zoe, {{"mod", "texture\\hero.dds", "Zoe's hero"}, {"mod", "texture\\pic.jpg", "picture"}},
              {{"*open texture\\hero.dds"}, {"createa texture\\pic.jpg"}, {"call ReadModFile texture\\hero.dds", Exported("Zoe's hero")}}});
    // 塔文誠 ends in 0x5C in code page 936; 测试模组 is selected.
    const std::string mod = "\xE6\xB5\x8B\xE8\xAF\x95\xE6\xA8\xA1\xE7\xBB\x84";
    PlayBoth({"\xE5\xA1\x94\xE6\x96\x87\xE8\xAA\xA0", mod,
              {{"mod", "texture\\hero.dds", "mod"}, {"base", "texture\\hero.dds", "base"}, {"base", "music\\theme.ogg", "base"},
               {"mod", "big.bin", std::string((1 << 20) + 1, 'b')}},
              {{"*open texture\\hero.dds"}, {"createa music\\theme.ogg"},
               {"call ResolvePath texture\\hero.dds", "ok\t<game>\\mods\\" + mod + "\\texture\\hero.dds"},
               {"call ReadModFile big.bin", "ok\tresult=0\tbuffer=null"}},  // beyond the 1 MiB cap
              {{L"Memory\\MaxMemoryMB", 1}}});
}

TEST(Differential, AutoResLeadsMapIdsToTheModsFreeNamedFolderAndPack) {
    PlayBoth({"game", "Maps",
              {{"base", "Tavren.res", testsupport::AsString(testsupport::GameIndex({"Plains", "Harbor", "Citadel"}))},
               {"base", "sn02\\x", "base sn02"}, {"mod", "sn01\\sn01.des", DesText("Dark Forest")},
               {"mod", "sn01\\x", "from sn01"}, {"mod", "Abbey\\abbey.gmb", "g"}, {"mod", "Abbey\\x", "from Abbey"},
               {"mod", "Abbey\\y.txt", "y"}, {"raw", "mods\\Maps\\Castle.pvk", "PVK2"}},
              {{"createa sn01\\x"}, {"createa sn02\\x", Read("from Abbey")}, {"attr sn02", "ok\t0x10\tdir"},
               {"attr sn02\\x", "ok\t0x20\tfile"}, {"find sn02\\*.txt", "ok\ty.txt"},
               {"call ResolvePath sn03\\x", "ok\tCastle\\x"}, {"find mods\\Maps\\sn02\\*.txt", "ok\ty.txt"},
               {"createa base\\sn02\\x"}},
              {{L"AutoRes", 1}}});
    // AutoRes off: the mod's index already there leads nowhere.
    PlayBoth({"game", "Maps",
              {{"base", "sn02\\x", "base sn02"}, {"mod", "Abbey\\x", "from Abbey"},
               {"raw", "mods\\Maps\\Tavren.res", testsupport::AsString(testsupport::GameIndex({"Dark Forest", "Abbey"}))}},
              {{"createa sn02\\x"}, {"attr sn02"}}});
}

// AutoRes start after start, in every mode: sn folders with a gap, free-named
// folders (Chinese, "Sn...", digit-leading, a copy of sn02), a pack and over
// 100 maps. Every block of the index opens its own map's marker through its
// snNN path; the index is written only when it differs, base's never.
TEST(Process, EveryMapTheIndexListsOpensItsOwnFilesStartAfterStart) {
    const std::string baseIndex = testsupport::AsString(testsupport::GameIndex({"Plains", "Harbor", "Citadel"}));
    // Folder -> its block's name (GBK); block name -> the marker its number must open.
    std::vector<std::pair<std::string, std::string>> maps = {{"sn05", "sn05"}, {"\xE9\x9B\xAA\xE5\xB1\xB1", "\xD1\xA9\xC9\xBD"},
        {"Snowfield", "Snowfield"}, {"1st Pass", "1st Pass"}, {"sn02 - \xE5\x89\xAF\xE6\x9C\xAC", "sn02 - \xB8\xB1\xB1\xBE"}};
    for (int i = 100; i < 196; ++i) maps.emplace_back("Map" + std::to_string(i), "Map" + std::to_string(i));
    std::map<std::string, std::string> markers = {{"Plains", "base sn01"}, {"Harbor", "sn02"}, {"Citadel", "base sn03"},
                                                  {"Dunes", "sn02"}, {"Dunes again", "sn02"}, {"Castle", "Castle"}};
    const File packed{"", "Castle\\marker.txt", "Castle"};
    std::map<std::string, std::string> files = {{"ModRoute.ini", "[Settings]\r\nSelectedMod=Maps\r\n"},
        {"base\\sn01\\marker.txt", "base sn01"}, {"base\\sn03\\marker.txt", "base sn03"},
        {"mods\\Maps\\sn02\\marker.txt", "sn02"}, {"mods\\Maps\\Castle.pvk", PackBytes({&packed})}};
    for (std::size_t i = 0; i < maps.size(); ++i) {
        files["mods\\Maps\\" + maps[i].first + "\\marker.txt"] = markers[maps[i].second] = std::to_string(i);
        files["mods\\Maps\\" + maps[i].first + "\\x.gmb"] = "g";
    }
    std::vector<std::string> script = {"call InitializeTavrenModSystem"};
    for (int number = 1; number <= 110; ++number) script.push_back("createa " + modroute::MapIdText(number) + "\\marker.txt");
    for (const char* query : {"attrex sn105\\marker.txt", "attr sn105"}) script.push_back(query);  // three-digit ids as opens
    for (const DWORD mode : {1, 2, 3}) {
        gamerun::ManagerRegistry registry;
        registry.SetDword(L"", L"AutoRes", mode);
        Game game;
        const std::string res = game.PathOf("mods\\Maps\\Tavren.res");
        for (const auto& [path, bytes] : files) game.Write(path, bytes);
        game.InstallOriginalAvi();
        const auto start = [&](const std::string& base, const std::string& dunes, bool written) {
            game.Write("base\\Tavren.res", base);
            game.Write("mods\\Maps\\sn02\\sn02.des", DesText(dunes));
            const GameRun run = game.Run(script);
            std::string index, baseAfter;
            ASSERT_TRUE(gamerun::ReadFile(res, index) && gamerun::ReadFile(game.PathOf("base\\Tavren.res"), baseAfter));
            EXPECT_EQ(baseAfter, base);
            EXPECT_EQ(testsupport::TempDir::Aged(res), !written) << mode << dunes;
            const testsupport::MapListing listed = testsupport::ListedMaps(index);
            EXPECT_EQ(listed.size(), maps.size() + (mode == 3 ? 4 : 2)) << mode;  // base's sn02 is not appended
            for (const auto& [name, number] : listed) {
                const std::string opened = run.Result("createa", modroute::MapIdText(number) + "\\marker.txt");
                EXPECT_EQ(gamerun::ResultFields(opened)["data"], markers.at(name)) << mode << dunes << number;
                if (number != 105) continue;
                const std::string attributes = run.Result("attrex", "sn105\\marker.txt");
                EXPECT_TRUE(attributes.ends_with("\tfile\tsize=" + std::to_string(markers.at(name).size()))) << attributes;
                EXPECT_EQ(run.Result("attr", "sn105"), "ok\t0x10\tdir");
            }
            testsupport::TempDir::Age(res);
        };
        start(baseIndex, "Dunes", true);
        start(baseIndex, "Dunes", false);
        start(baseIndex, "Dunes again", mode != 3);  // renamed in its description file
        start("!" + baseIndex.substr(1), "Dunes again", true);
    }
}

TEST(Differential, WithoutASelectedModTheBaseFoldersPacksArePreloaded) {
    PlayBoth({"game", "", {{"base\\b.pvk", "b\\packed.txt", "packed"}},
              {{"createa b\\packed.txt"}, {"delete base\\b.pvk"}, {"createa b\\packed.txt"}}, {{L"EnablePreloadPVK", 1}}});
}

std::size_t Count(const GameRun& run, const std::string& line) {
    return static_cast<std::size_t>(std::count(run.debugLines.begin(), run.debugLines.end(), line));
}

TEST(Process, AttachAndDetachLinesInOrderAndAviFileInitForwardedActivatingOnce) {
    Game game;
    game.InstallOriginalAvi();
    const GameRun run = game.Run({"call AVIFileInit"});
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.Result("avifileinit", "-"), "result=1330792775");  // the stand-in original's mark
    EXPECT_EQ(run.Result("call", "AVIFileInit"), "ok\tresult=1330792775");
    auto line = run.debugLines.begin();
    for (const std::string& expected :
         std::vector<std::string>{"=== TavrenMOD DLL加载 ===", "日志系统初始化成功", "主程序路径: " + game.PathOf("Tavren.exe"), "第1步：读取核心配置...",
          "核心配置读取完成", "第4步：初始化虚拟文件系统...", "第6步：早期初始化文件重定向系统...", "第7步：安装IAT Hook...",
          "第8步：早期初始化MOD系统...", "第9步：创建完整初始化线程...", "完整初始化线程创建成功", "=== DLL初始化序列完成 ===",
          "AVIFileInit: MOD 系统激活流程完成", "AVIFIL32_original: AVIFileInit called", "=== DLL卸载，开始清理 ===",
          "=== DLL清理完成 ==="}) {
        line = std::find(line, run.debugLines.end(), expected);
        ASSERT_NE(line, run.debugLines.end()) << "missing or out of order: " << expected << "\n" << run.DebugText();
    }
    EXPECT_EQ(Count(run, "AVIFileInit: MOD 系统激活流程完成"), 1u);
    EXPECT_EQ(Count(run, "AVIFIL32_original: AVIFileInit called"), 2u);

    // Without the renamed original, the system's library, loaded once and kept.
    Game bare;
    const GameRun plain = bare.Run({"call AVIFileInit"});
    std::size_t systemLoads = 0;
    for (std::string path : plain.loadedDlls) {
        std::transform(path.begin(), path.end(), path.begin(), [](unsigned char c) { return std::tolower(c); });
        systemLoads += path.find("\\avifil32.dll") != std::string::npos && path.find("\\game\\") == std::string::npos;
    }
    EXPECT_EQ(systemLoads, 1u);
}

// 300 frees and loads while eight threads use every kind of file and a ninth waits inside ReadFile: no
// crash, no answer changed, what the game keeps open stays usable, and only the reserved values 8 x 40
// packed files need are made, one batch at a time. Hooking nothing, the library really unloads and
// gives back all it took but the threads run-time's record of the loading thread.
TEST(Process, TheGameFreesAndLoadsTheLibraryAgainAsOftenAsItLikes) {
    gamerun::ManagerRegistry registry;
    Game game;
    Lay(game, {"game", "Blades",
               {{"mod", "texture\\mod.dds", "mod"}, {"base", "texture\\base.dds", "base"}, {"game", "texture\\game.dds", "game"},
                {"mods\\Blades\\ui.pvk", "ui\\button.dds", "packed button"}, {"mods\\Blades\\ui.pvk", "ui\\panel.dds", "panel"},
                {"mod", "lib\\modlib.dll", "<dll>"}}, {}}, false);
    game.InstallDynamicGame();
    game.Write("plan.txt", "createa texture\\mod.dds\nfopen texture\\base.dds\nopen texture\\game.dds\nhandles ui\\button.dds\n"
                           "attr texture\\mod.dds\nfind ui\\*\nfind texture\\*.dds\nloadlib lib\\modlib.dll\n");
    // Once its own threads have ended only the game's reference keeps the library; the first run warms up.
    const GameRun run = game.Run({"call InitializeTavrenModSystem", "sleep 3500", "cycles 150 plan.txt ui\\panel.dds ui\\*",
                                  "cycles 150 plan.txt ui\\button.dds ui\\*"}, 60000, "TavrenDynamic.exe");
    EXPECT_TRUE(run.exceptions.empty() && !run.timedOut) << run.DebugText();
    EXPECT_EQ(gamerun::ResultFields(run.Result("cycles", "150 plan.txt ui\\panel.dds ui\\*"))["reserved"], "320");
    EXPECT_EQ(run.Result("cycles", "150 plan.txt ui\\button.dds ui\\*"),
              "ok\twrong=0\twaited=returned\tfile=packe,1\tsearch=..,button.dds,panel.dds,18,1\treal=0\treserved=0\ttls=0\tmemory=0");

    Game bare;
    bare.InstallOriginalAvi();
    bare.InstallDynamicGame();
    const GameRun unhooked = bare.Run({"startup unhookable", "unloadavi 15000", "reloadavi"}, 60000, "TavrenDynamic.exe");
    EXPECT_TRUE(unhooked.exceptions.empty() && !unhooked.timedOut) << unhooked.DebugText();
    EXPECT_EQ(unhooked.Result("unloadavi", "15000"), "ok\tunloaded");
    EXPECT_EQ(unhooked.Result("reloadavi", ""), "ok\treal=2\treserved=0\ttls=1\tmemory=0");
}

const char kHiddenBefore[] = "008BF085C9751FBF10985C00B9060000";
const char kHiddenAfter[] = "008BF085C9711FBF10985C00B9060000";
const char kLoadsnpBefore[] = "009090FF36E8BE3C050083C404E89C2F0500508B0D9C616600E8A021FDFFE9660E";
const char kLoadsnpAfter[] = "3B7704750883C8FFE97D0E00008B0E8B45006A01518BCDFF9014010000C685781D";

std::string Code(const char* hidden, const char* loadsnp, const std::string& divisor) {
    return std::string("ok\thidden@0x1100=") + hidden + kHiddenBefore + "\tloadsnp@0x1200=" + loadsnp + "\tleft@0x57642=B8" + divisor +
           "000000\tright@0x576BA=B8" + divisor + "000000";
}
std::string Font(const std::string& face, int height, int width, int charSet) {
    return "ok\tface=" + face + "\theight=" + std::to_string(height) + "\twidth=" + std::to_string(width) +
           "\tcharset=" + std::to_string(charSet);
}
std::string D3dx(const std::string& api, int height, int width, int charSet, const std::string& face) {
    return "d3dx9_43: " + api + " device=0x00000000 height=" + std::to_string(height) + " width=" + std::to_string(width) +
           " weight=400 miplevels=1 italic=0 charset=" + std::to_string(charSet) +
           " precision=0 quality=0 pitchandfamily=0 face=" + face;
}

// Character model files of base, the game folder and two mods, and one that only looks like one.
void WritePmodelFiles(Game& game) {
    for (const char* name : {"p01_a.gmb", "P12_b.gmb", "p7.gmb"}) game.Write(std::string("base\\pmodel\\") + name, "m");
    game.Write("base\\pmodel\\p80a_x.dat", "not a character");
    game.Write("pmodel\\p02.gmb", "m");
    game.Write("mods\\Hero\\pmodel\\p40_hero.gmb", "m");
    game.Write("mods\\Other\\pmodel\\p90.gmb", "an unselected mod's");
}

TEST(Process, DefaultPatchesAndFontsReplacedFromTheFirstCall) {
    gamerun::ManagerRegistry registry;
    registry.SetString(L"Fonts", L"TimesNewRoman", L"Tahoma");
    registry.SetDword(L"Fonts", L"TimesNewRomanScale", 120);
    registry.SetString(L"Fonts", L"MingLiU", L"Face Installed Nowhere");
    registry.SetDword(L"Fonts", L"MingLiUScale", 150);
    Game game;
    game.InstallOriginalAvi();
    game.InstallD3dxStandin();
    WritePmodelFiles(game);
    const std::string xiMingTi = "\xE7\xB4\xB0\xE6\x98\x8E\xE9\xAB\x94";  // 細明體
    // D3DX's first font comes with the game's load of the library, before the font thread's late step.
    const GameRun run = game.Run({"font CreateFontA -17 0 0 Times New Roman", "font D3DXCreateFontA 20 0 0 Times New Roman",
                                  "sleep 6000", "font CreateFontA 20 10 136 Times New Roman", "font CreateFontIndirectA 20 0 0 mingliu",
                                  "font CreateFontIndirectW -16 0 1 " + xiMingTi, "font CreateFontIndirectW -16 0 0 times new roman",
                                  "font D3DXCreateFontW -16 8 136 Times New Roman",
                                  "font D3DXCreateFontA 20 0 0 MingLiU", "codebytes"});
    ASSERT_FALSE(run.timedOut);
    EXPECT_TRUE(run.exceptions.empty());
    // Hooked with the file hooks: the game's very first font is substituted.
    EXPECT_EQ(run.Result("font", "CreateFontA -17 0 0 Times New Roman"), Font("Tahoma", -20, 0, 134));
    EXPECT_EQ(run.Result("font", "CreateFontA 20 10 136 Times New Roman"), Font("Tahoma", 24, 12, 136));
    // MingLiU's face is installed nowhere: the first installed fallback, at MingLiU's scale.
    EXPECT_EQ(run.Result("font", "CreateFontIndirectA 20 0 0 mingliu"), Font("Tahoma", 30, 0, 134));
    EXPECT_EQ(run.Result("font", "CreateFontIndirectW -16 0 1 " + xiMingTi), Font("Tahoma", -24, 0, 134));
    EXPECT_EQ(run.Result("font", "CreateFontIndirectW -16 0 0 times new roman"), Font("Tahoma", -19, 0, 134));
    for (const std::string& call : {D3dx("D3DXCreateFontA", 24, 0, 134, "Tahoma"), D3dx("D3DXCreateFontW", -19, 9, 136, "Tahoma"),
                                    D3dx("D3DXCreateFontA", 20, 0, 0, "MingLiU")}) {
        EXPECT_EQ(Count(run, call), 1u) << call << "\n" << run.DebugText();
    }
    // 13 characters in base (p12 the last): the divisor byte is 13 - 10.
    EXPECT_EQ(run.Result("codebytes", ""), Code(kHiddenAfter, kLoadsnpAfter, "03"));
}

TEST(Process, ZeroSwitchesOffAPatchAndAFaceAndTheFontHooksOutliveAFree) {
    gamerun::ManagerRegistry registry;
    registry.SetDword(L"Patch", L"ToggleCommand", 0);
    registry.SetString(L"Fonts", L"TimesNewRoman", L"0");
    registry.SetString(L"Fonts", L"MingLiU", L"Tahoma");
    registry.SetDword(L"Fonts", L"MingLiUScale", 80);
    Game game;
    game.InstallOriginalAvi();
    gamerun::CopyBinary(L"TavrenDynamic.exe", game.PathOf("Tavren.exe"));  // the character patch looks for Tavren.exe
    game.Write("ModRoute.ini", "[Settings]\r\nSelectedMod=Hero\r\n");
    WritePmodelFiles(game);
    // The code is whole only when AVIFileInit is called: only that call can patch it.
    const GameRun run = game.Run({"startup late-code", "sleep 6000", "font CreateFontA -16 0 0 Times New Roman",
                                  "font CreateFontIndirectA -16 0 0 MingLiU", "codebytes", "unloadavi 0",
                                  "font CreateFontIndirectA -20 0 0 MingLiU"});
    ASSERT_FALSE(run.timedOut);
    EXPECT_TRUE(run.exceptions.empty()) << run.DebugText();
    EXPECT_EQ(run.Result("font", "CreateFontA -16 0 0 Times New Roman"), Font("Times New Roman", -16, 0, 0));
    EXPECT_EQ(run.Result("font", "CreateFontIndirectA -16 0 0 MingLiU"), Font("Tahoma", -12, 0, 134));  // -12.8 truncated
    // p40 of the selected mod makes 41 characters: 41 - 10 = 0x1F.
    EXPECT_EQ(run.Result("codebytes", ""), Code(kHiddenBefore, kLoadsnpAfter, "1F"));
    EXPECT_EQ(run.Result("unloadavi", "0"), "ok\tloaded");
    EXPECT_EQ(run.Result("font", "CreateFontIndirectA -20 0 0 MingLiU"), Font("Tahoma", -16, 0, 134));

    // Attach applies only the switched-on patch, and AVIFileInit no other.
    registry.SetDword(L"Patch", L"ToggleCommand", 1);
    registry.SetDword(L"Patch", L"OpenPlay", 0);
    Game fresh;  // no pmodel files: one character, too few for the character patch
    fresh.InstallOriginalAvi();
    gamerun::CopyBinary(L"TavrenDynamic.exe", fresh.PathOf("Tavren.exe"));
    const GameRun other = fresh.Run({"startup code-at-load", "codebytes"});
    EXPECT_EQ(other.Result("loaded", "-"), Code(kHiddenAfter, kLoadsnpBefore, "14"));
    EXPECT_EQ(other.Result("codebytes", ""), Code(kHiddenAfter, kLoadsnpBefore, "14"));
}

// Eight game threads from the moment the library attached, through every
// kind of operation, racing the full initialisation, AutoRes, the pack index
// thread and the font thread (whose face check once deadlocked with a library
// loading beside it). Each plan line gives the finished start-up's answer from
// the first call on, and not one handle more. Then every thread opens and
// closes virtual handles at once.
TEST(Process, EightThreadsFromAttachRaceEveryBackgroundStageAndLoseNothing) {
    gamerun::ManagerRegistry registry;
    registry.SetDword(L"", L"AutoRes", 1);
    registry.SetDword(L"", L"EnablePreloadPVK", 1);
    registry.SetString(L"Fonts", L"TimesNewRoman", L"Tahoma");
    registry.SetString(L"Fonts", L"MingLiU", L"Tahoma");
    const File boom{"", "sfx\\boom.wav", "packed boom"};
    Game game;
    Lay(game, {"game", "Blades",
               {{"game", "texture\\game.dds", "game"}, {"mod", "texture\\game.dds", "mod loses"},
                {"base", "texture\\hero.dds", std::string(9000, 'b')}, {"mod", "texture\\hero.dds", std::string(70000, 'm')},
                {"mod", "texture\\pic.jpg", std::string(30000, 'p')}, {"base", "texture\\pic.jpg", "base picture"},
                {"mods\\Blades\\texture.pvk", "ui\\button.dds", "packed button"}, {"mods\\Blades\\texture.pvk", "ui\\panel.dds", "panel"},
                {"raw", "mods\\Blades\\sounds.pvk", PackBytes({&boom}) + std::string(60 << 20, '\0')},  // beyond the preload limit
                {"base", "sfx\\boom.wav", "base boom"}, {"base\\data.pvk", "data\\over.txt", "packed over"},
                {"mod", "data\\over.txt", "mod over"}, {"mod", "Abbey\\abbey.gmb", "g"}, {"mod", "Abbey\\x.txt", "from Abbey"},
                {"base", "Tavren.res", testsupport::AsString(testsupport::GameIndex({"Plains", "Harbor", "Citadel"}))},
                {"base", "sn01\\x.txt", "base sn01"}, {"mod", "lib\\modlib.dll", "<dll>"}},
               {}}, false);
    game.Write("plan.txt", "1\tcreatea texture\\game.dds\n1\tcreatew texture\\hero.dds\n1\tfopen texture\\pic.jpg\n"
                           "1\topen ui\\button.dds\n1\tfopen_s sfx\\boom.wav\n1\tcreatea data\\over.txt\n"
                           "1\tcreatea sn01\\x.txt\n1\tattr sn01\n1\tfind ui\\*\n1\tfind sfx\\*\n1\tloadlib lib\\modlib.dll\n"
                           "1\tfontmade CreateFontA -16 0 134 Times New Roman\n1\tfontmade CreateFontIndirectA -12 0 1 MingLiU\n");
    game.Write("virtual.txt", "1\tvirtualbesidereal 20 texture\\pic.jpg\n1\tvirtualbesidereal 20 ui\\panel.dds\n1\tcreatea x\\{n}.dds\n");
    // The race lasts beyond the font thread's 3 s, whatever the machine's speed.
    const char* longer = std::getenv("MODROUTE_STRESS_ROUNDS");  // scripts/stress.sh plays a longer form
    const std::string race = "8 " + std::string(longer ? longer : "300") + " 4000 20 plan.txt";
    const GameRun run = game.Run({"stress " + race, "stress 8 500 0 1 virtual.txt", "createa sn01\\x.txt"},
                                 longer ? 3600000 : 180000);
    ASSERT_FALSE(run.timedOut);
    EXPECT_TRUE(run.exceptions.empty()) << run.DebugText();
    EXPECT_EQ(run.Result("stress", race), "ok\tinit=ok\ttrue\tover=0\tregressions=0\tlate=0\tleaked=0,0");
    EXPECT_EQ(run.Result("stress", "8 500 0 1 virtual.txt"), "ok\tinit=ok\ttrue\tover=0\tregressions=0\tlate=0\tleaked=0,0");
    EXPECT_EQ(run.Result("createa", "sn01\\x.txt"), "ok\tsize=10\tdata=from Abbey\thead=from");
}

// A start-up made slow on purpose (300 mod folders, 100 maps, a large pack to
// preload) while the game opens its files at once: every first answer is the
// finished start-up's, with AutoRes rebuilding a stale index at every start
// and on a change alike. The game loads a plugin first, whose import brings
// the DLL in: the plugin's DllMain reads a file under the loader lock, while
// the start-up threads cannot even begin. It gets what is ready without
// waiting for them, and that answer is not kept.
TEST(Process, FirstOpensRightAfterLoadGetTheFinishedStartupsAnswers) {
    const File big{"", "x\\big.dds", "big"};
    std::vector<File> files = {{"mod", "texture\\hero.dds", "mod hero"}, {"base", "texture\\hero.dds", "base hero"},
        {"mods\\Blades\\m.pvk", "ui\\modpack.dds", "mod packed"}, {"mods\\Blades\\m.pvk", "plugin\\settings.txt", "packed"},
        {"base\\b.pvk", "ui\\basepack.dds", "base packed"}, {"game", "lib\\plugin.dll", "<plugin>"},
        {"base", "Tavren.res", testsupport::AsString(testsupport::GameIndex({"Plains", "Harbor", "Citadel"}))},
        {"mod", "Tavren.res", testsupport::AsString(testsupport::GameIndex({"Old"}))},
        {"raw", "mods\\Blades\\big.pvk", PackBytes({&big}) + std::string(100 << 20, '\0')}};
    for (int i = 0; i < 300; ++i) files.push_back({"raw", "mods\\M" + std::to_string(i) + "\\a.txt", "a"});
    for (int i = 0; i < 100; ++i) files.push_back({"mod", "Map" + std::to_string(i) + "\\m.gmb", "g"});
    const std::vector<std::string> opens = {"createa texture\\hero.dds", "fopen ui\\modpack.dds", "open ui\\basepack.dds",
                                            "createw Tavren.res", "find ui\\*", "attr sn09"};
    for (const DWORD autoRes : {1u, 2u}) {
        gamerun::ManagerRegistry registry;
        registry.SetDword(L"", L"AutoRes", autoRes);
        Game game;
        Lay(game, {"game", "Blades", files, {}}, false);
        game.InstallDynamicGame();
        std::vector<std::string> script = {"startup plugin-first"};
        script.insert(script.end(), opens.begin(), opens.end());
        script.push_back("call InitializeTavrenModSystem");
        script.insert(script.end(), opens.begin(), opens.end());
        script.insert(script.end(), {"loadlib lib\\plugin.dll", "createa plugin\\settings.txt"});
        GameRun run;
        const std::vector<std::string> results = Played(game, script, "TavrenDynamic.exe", &run);
        for (std::size_t i = 0; i < opens.size(); ++i) EXPECT_EQ(results[2 + i], results[3 + opens.size() + i]) << opens[i];
        EXPECT_EQ(results[results.size() - 2], "ok\tlib\\plugin.dll\tread=<nothing>");  // the packs were not ready
        EXPECT_EQ(results.back(), "ok\tsize=6\tdata=packed\thead=pack");
        EXPECT_EQ(Count(run, "TavrenMOD: 启动工作未在限时内完成，先用已有结果应答"), 0u) << run.DebugText();  // nobody waited in vain
    }
}

// Files another process adds, deletes or copies into the game folder while
// the game runs are served as the disk has them now, after the game had asked
// for each of them before.
TEST(Process, WhatAnotherProcessChangesWhileTheGameRunsIsSeen) {
    Game game;
    Lay(game, {"game", "Blades", {{"mod", "texture\\hero.dds", "mod hero"}, {"base", "texture\\old.dds", "base old"},
                                  {"game", "lib\\late.dds", "late"}, {"game", "texture\\own.dds", "own"}}, {}}, false);
    const std::vector<std::string> script = {"call InitializeTavrenModSystem", "createa texture\\late.dds",
        "createa texture\\old.dds", "createa texture\\hero.dds", "find texture\\*.dds",
        "other copy /y lib\\late.dds mods\\Blades\\texture\\late.dds", "other del base\\texture\\old.dds",
        "other copy /y lib\\late.dds texture\\hero.dds", "sleep 1500",
        "createa texture\\late.dds", "createa texture\\old.dds", "createa texture\\hero.dds", "find texture\\*.dds"};
    const std::vector<std::string> results = Played(game, script);
    EXPECT_EQ(results[2], "fail\terror=2");
    EXPECT_EQ(results[3], Read("base old"));
    EXPECT_EQ(results[4], Read("mod hero"));
    EXPECT_EQ(results[5], "ok\thero.dds,old.dds,own.dds");
    for (int other = 6; other <= 8; ++other) EXPECT_EQ(results[other], "ok") << script[other - 1];
    EXPECT_EQ(results[10], Read("late"));  // added to the mod
    EXPECT_EQ(results[11], "fail\terror=2");  // deleted from base
    EXPECT_EQ(results[12], Read("late"));  // the game folder's new copy wins
    EXPECT_EQ(results[13], "ok\thero.dds,late.dds,own.dds");
}

}  // namespace

TEST(Process, LogOfAStartNamesTheSelectedModAndARefusedPackOnlyWhenAsked) {
    gamerun::ManagerRegistry registry;
    for (const char* line : {"Log=1", "log=1"}) {
        Game game;
        game.Write("ModRoute.ini", std::string("[Settings]\r\nSelectedMod=Blades\r\n") + line + "\r\n");
        game.Write("mods\\Blades\\bad.pvk", "NOTAPACK" + std::string(4096, '\0'));
        if (line[0] == 'L') game.Write("ModRoute.log", std::string(300000, '.') + "an earlier start's log");
        ASSERT_FALSE(game.Run({"sleep 1500"}).timedOut);
        std::string log;
        EXPECT_EQ(gamerun::ReadFile(game.PathOf("ModRoute.log"), log), line[0] == 'L') << line;
        if (line[0] != 'L') continue;
        EXPECT_EQ(log.find("earlier start"), std::string::npos) << "replaced at each start";
        EXPECT_NE(log.find("\r\nselected mod: Blades  (ModRoute.ini)\r\n"), std::string::npos) << log;
        EXPECT_NE(log.find("pack refused: " + game.PathOf("mods\\Blades\\bad.pvk") + ": it is not a pack"),
                  std::string::npos) << log;
    }
}
