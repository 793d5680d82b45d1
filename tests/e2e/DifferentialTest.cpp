// The same script of game operations played twice by the stand-in game: in a
// game folder with the DLL installed, a mod selected and mod, base and packed
// files laid out; and in a plain folder without the DLL where the files that
// should win have simply been copied over the game folder (packed before the
// game folder's own, then the mod's, then the base's). Every result line,
// bytes and error values included, must be the same, unless a row gives the
// DLL's answer itself. Windows (Wine) is the oracle; a case costs one row.
#include <gtest/gtest.h>

#include <map>

#include "GameHarness.h"
#include "support/ResBytes.h"
#include "vfs/PvkFormat.h"

namespace {

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
    if (bytes == "<dll>") {
        gamerun::MakeFolders(game.PathOf(path.substr(0, path.rfind('\\'))));
        gamerun::CopyBinary(L"AVIFIL32_original.dll", game.PathOf(path));
    } else {
        game.Write(path, bytes);
    }
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
            Put(game, f.where == "game" ? f.path : f.where == "mod" ? "mods\\" + world.mod + "\\" + f.path : "base\\" + f.path,
                f.bytes);
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

std::vector<std::string> Played(gamerun::Game& game, const std::vector<std::string>& script) {
    const gamerun::GameRun run = game.Run(script);
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
}

// What createa prints for a file of these bytes.
std::string Read(const std::string& data) {
    return "ok\tsize=" + std::to_string(data.size()) + "\tdata=" + data + "\thead=" + data.substr(0, 4);
}
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
               {"raw", "work\\local.txt", "current folder"}},
              {{"createa texture\\modonly.dds", Read("mod only")},  // the stand-in itself reads faithfully
               {"*open texture\\modonly.dds"}, {"*open texture\\baseonly.dds"}, {"*open texture\\both.dds"},
               {"*open texture\\nowhere.dds"}, {"attr texture\\nowhere.dds"}, {"createa texture\\empty.dds"},
               {"createa maps\\sn03\\render.json", Read("{mod}")},
               // Pictures are served through virtual handles, whose seeks stay inside the data.
               {"handles texture\\pic.jpg", "ok\ttype=1\tsize=10/0\tsizeex=10\tinfo=1,10,0,1\tread3=012\tbegin+1000=10/0\tcur-2=8"
                                             "\tread2=89\tend0=10\tatend=1,0\tend-3=7\tread9=789\tbegin0=0\tcur-1=10,0\tend-4=6\tread1=6\tclose=1"},
               {"handles texture\\modonly.dds"},
               {"realhandles 3200"}, {"virtualbesidereal 300 texture\\pic.jpg"},
               {"loadlib lib\\modlib.dll", "ok\tmods\\Blades\\lib\\modlib.dll"},
               {"loadlibw lib\\baselib.dll", "ok\tbase\\lib\\baselib.dll"}, {"loadlib lib\\both.dll"},
               {"loadlibw lib\\missing.dll"}, {"loadlibw lib\\\xE5\x88\x80.dll", "ok\tmods\\Blades\\lib\\\xE5\x88\x80.dll"},
               {"write texture\\saved.dat"}, {"createa texture\\saved.dat"}, {"createa mods\\Blades\\texture\\saved.dat"},
               {"call ResolvePath texture/modonly.dds", "ok\t<game>\\mods\\Blades\\texture\\modonly.dds"},
               {"call ResolvePath texture\\nowhere.dds", "ok\ttexture\\nowhere.dds"},
               {"call ShouldRedirect texture\\modonly.dds", "ok\ttrue"}, {"call ShouldRedirect texture\\both.dds", "ok\tfalse"},
               {"call ValidateVFSMemory", "ok\ttrue"}, {"call GetVFSMemoryStats", "ok\tcurrent=0\tpeak=0"},
               {"call ReadModFile texture\\modonly.dds", Exported("mod only")},
               {"call ReadModFile texture\\baseonly.dds", Exported("base only")},
               {"call ReadModFile texture\\both.dds", Exported("game copy")},
               {"call ReadModFile " + longest, Exported("mod only")},
               {"call GetVFSMemoryStats", "ok\tcurrent=34\tpeak=34"}, {"call FreeFileBuffer", "ok\tfreed=4"},
               {"call GetVFSMemoryStats", "ok\tcurrent=0\tpeak=34"},
               {"call ReadModFile \\" + longest, "ok\tresult=0\tbuffer=untouched"},
               {"call ReadModFile texture\\empty.dds", "ok\tresult=0\tbuffer=untouched"},
               {"call ReadModFile -null", "ok\tresult=0\tbuffer=untouched"},
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
              {{"*open texture\\hero.dds"}, {"*open TEXTURE\\UI\\BUTTON.DDS"},
               {"fopen+ texture\\hero.dds", "ok\tsize=14\tdata=the game's own\ttell=14"},  // a mode that writes: the disk
               {"createa maps\\sub\\deep.wp"},
               {"createa texture\\loose.dds"}, {"attr texture\\hero.dds", "ok\t0x80\tfile"},
               {"handles maps\\sn01.wp", "ok\ttype=1\tsize=7/0\tsizeex=7\tinfo=1,7,0,1\tread3=map\tbegin+1000=7/0\tcur-2=5\tread2=ne"
                                          "\tend0=7\tatend=1,0\tend-3=4\tread9=one\tbegin0=0\tcur-1=7,0\tend-4=3\tread1= \tclose=1"},
               {"find texture\\ui"}, {"find texture\\nothing*"},
               {"find maps\\*.wp", "ok\tsn01.wp,deep.wp"}, {"find texture\\*", "ok\thero.dds,button.dds"},
               {"call ResolvePath texture/hero.dds", "ok\t[VFS]texture\\hero.dds"},
               {"call GetModFileSize texture\\ui\\button.dds", "ok\t13"},
               {"call ReadModFile maps\\sub\\deep.wp", Exported("deep map")}}});
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
               {"base", "sn02\\x", "base sn02"}, {"mod", "sn01\\sn01.des", "GModel Description File V1.0\r\nDark Forest\r\nSceneObjects 3\r\n"},
               {"mod", "sn01\\x", "from sn01"}, {"mod", "Abbey\\abbey.gmb", "g"}, {"mod", "Abbey\\x", "from Abbey"},
               {"mod", "Abbey\\y.txt", "y"}, {"raw", "mods\\Maps\\Castle.pvk", "PVK2"}},
              {{"createa sn01\\x"}, {"createa sn02\\x", Read("from Abbey")}, {"attr sn02", "ok\t0x10\tdir"},
               {"call ResolvePath sn03\\x", "ok\tCastle\\x"}, {"find mods\\Maps\\sn02\\*.txt", "ok\ty.txt"},
               {"createa base\\sn02\\x"}},
              {{L"AutoRes", 1}}});
    // AutoRes off: the mod's index already there leads nowhere.
    PlayBoth({"game", "Maps",
              {{"base", "sn02\\x", "base sn02"}, {"mod", "Abbey\\x", "from Abbey"},
               {"raw", "mods\\Maps\\Tavren.res", testsupport::AsString(testsupport::GameIndex({"Dark Forest", "Abbey"}))}},
              {{"createa sn02\\x"}, {"attr sn02", "fail\terror=2"}}});  // folders are not looked for in base
}

TEST(Differential, WithoutASelectedModTheBaseFoldersPacksArePreloaded) {
    PlayBoth({"game", "", {{"base\\b.pvk", "b\\packed.txt", "packed"}},
              {{"delete base\\b.pvk"}, {"createa b\\packed.txt"}}, {{L"EnablePreloadPVK", 1}}});
}

}  // namespace
