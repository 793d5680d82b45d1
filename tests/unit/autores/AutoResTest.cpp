// AutoRes on real mod folders: map names from description files, the
// rebuild, the change check, the append mode, the index replaced in one step
// or not at all, the base index never written, and the map table the full
// initialisation publishes.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "autores/AutoRes.h"
#include "autores/MapNameFile.h"
#include "autores/ResFileReplace.h"
#include "common/FileSystem.h"
#include "common/TextEncoding.h"
#include "support/ResBytes.h"
#include "support/TempDir.h"

using namespace modroute;
using testsupport::AsString;
using testsupport::TempDir;
using testsupport::operator+;

namespace {

const std::string kTownUtf8 = "\xE5\x9F\x8E";  // 城
const std::string kTownGbk = "\xB3\xC7";
const std::string kHarbourUtf8 = "\xE6\xB8\xAF\xE5\x8F\xA3";  // 港口
const std::string kHarbourGbk = "\xB8\xDB\xBF\xDA";

std::string DesFile(const std::string& name) {
    return "GModel Description File V1.0\r\n" + name + "\r\nSceneObjects 3\r\n";
}

std::string Utf16Le(const std::string& utf8) {
    std::string bytes = "\xFF\xFE";
    for (const wchar_t unit : Utf8ToWide(utf8)) {
        bytes += std::string{static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    }
    return bytes;
}

using Listing = testsupport::MapListing;

Listing Listed(const std::string& resPath) { return testsupport::ListedMaps(TempDir::ReadFile(resPath)); }
int StoredCount(const std::string& resPath) { return testsupport::StoredCount(TempDir::ReadFile(resPath)); }

// A game with a base index of three game maps and a mod M.
class AutoResTest : public ::testing::Test {
protected:
    void SetUp() override {
        game.Write("base\\Tavren.res", kBaseIndex);
        game.MakeFolder("mods\\M");
    }
    std::string Mod(const std::string& relative = "") const {
        return relative.empty() ? game / "mods\\M" : game / ("mods\\M\\" + relative);
    }
    std::string ModRes() const { return Mod("Tavren.res"); }
    std::string BaseRes() const { return game / "base\\Tavren.res"; }
    // sn01 and sn02 with description files, a free-named folder, a pack, and
    // folders that are no maps.
    void WriteMaps() const {
        game.Write("mods\\M\\sn01\\sn01.des", DesFile("Dark Forest"));
        game.Write("mods\\M\\sn02\\any.des", Utf16Le(kHarbourUtf8 + "\r\nSceneObjects 1\r\n"));
        game.Write("mods\\M\\Town\\town.gmb", "g");
        game.Write("mods\\M\\" + kTownUtf8 + "\\a.des", DesFile("Another Name"));
        game.Write("mods\\M\\Castle.pvk", "PVK2");
        game.Write("mods\\M\\Notes\\readme.txt", "no map");
        game.Write("mods\\M\\texture\\x.gmb", "a game folder");
    }
    AutoResSettings Settings(std::uint32_t mode, const std::string& mod = "M") const {
        return {mode, mod, 3};
    }

    const std::string kBaseIndex = AsString(testsupport::GameIndex({"Plains", "Snow Pass", "Citadel"}));
    TempDir game{"game"};
};

}  // namespace

TEST_F(AutoResTest, MapNameComesFromTheFoldersOwnDescriptionFileFirst) {
    game.Write("own\\own.des", DesFile("Own"));
    game.Write("own\\a.des", DesFile("Other"));
    game.Write("two\\a.des", DesFile("Alpha"));
    game.Write("two\\b.des", DesFile("Bravo"));
    game.Write("none\\map.gmb", "g");
    game.Write("wide\\wide.des", Utf16Le(kHarbourUtf8 + "\r\nSceneObjects 1\r\n"));
    game.Write("withnul\\withnul.des", std::string("Na\0me\r\nSceneObjects 1\r\n", 23));
    game.Write("locked\\locked.des", DesFile("Locked"));
    const std::string firstListed = ListFiles(game / "two", ".des").front() == "a.des" ? "Alpha" : "Bravo";
    const std::pair<const char*, std::string> cases[] = {
        {"own", "Own"}, {"two", firstListed}, {"none", "fallback"}, {"wide", kHarbourGbk}, {"withnul", "fallback"},
        {"locked", "fallback"},
    };
    HANDLE locked = CreateFileW(Utf8ToWide(game / "locked\\locked.des").c_str(), GENERIC_READ, 0, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(locked, INVALID_HANDLE_VALUE);
    for (const auto& [folder, name] : cases) EXPECT_EQ(ExtractMapName(game / folder, "fallback"), name) << folder;
    CloseHandle(locked);
}

TEST_F(AutoResTest, RebuildListsTheModsMapsAndMapsTheFreeNamedOnes) {
    WriteMaps();
    const auto directories = RebuildRes(Mod(), ModRes(), BaseRes(), 3);
    ASSERT_TRUE(directories);
    // sn folders by number with their description names, then the others by
    // GBK name, each under its own name.
    EXPECT_EQ(Listed(ModRes()), (Listing{{"Dark Forest", 1}, {kHarbourGbk, 2}, {"Castle", 3}, {"Town", 4},
                                         {kTownGbk, 5}}));
    EXPECT_EQ(StoredCount(ModRes()), 715);
    EXPECT_EQ(*directories, (SnDirectoryMap::Entries{{"SN03", "Castle"}, {"SN04", "Town"}, {"SN05", kTownUtf8}}));
    EXPECT_EQ(TempDir::ReadFile(BaseRes()), kBaseIndex);
    EXPECT_FALSE(FileExists(TemporaryResPath(ModRes())));
    // Read back from the index, the table is the same.
    EXPECT_EQ(BuildSnDirectoryMap(Mod()).AllEntries(), *directories);
}

TEST_F(AutoResTest, ChangeCheckCannotSettleOnRenumberedOrUpperCaseSnFolders) {
    // sn03 is written as map 1 and no sn01 exists to name the block; SN01 is
    // named sn01 by the index but SN01 by the disk.
    for (const char* folder : {"sn03", "SN01"}) {
        TempDir mod("mod");
        mod.Write(std::string(folder) + "\\x.des", DesFile("Only"));
        ASSERT_TRUE(RebuildRes(mod.Path(), mod / "Tavren.res", BaseRes(), 3)) << folder;
        EXPECT_EQ(Listed(mod / "Tavren.res"), (Listing{{"Only", 1}})) << folder;
        EXPECT_TRUE(NeedsResRebuild(mod.Path())) << folder;
    }
}

TEST_F(AutoResTest, AppendModeAddsTheModsMapsAfterTheBaseMapsFromTheBaseEveryTime) {
    WriteMaps();
    for (int run = 0; run < 2; ++run) {
        const auto directories = PerformAppendMode(Mod(), ModRes(), BaseRes());
        ASSERT_TRUE(directories);
        // A free-named folder keeps its folder name, whatever its description
        // file calls the map, so the table finds it again.
        EXPECT_EQ(Listed(ModRes()), (Listing{{"Plains", 1}, {"Snow Pass", 2}, {"Citadel", 3}, {"Dark Forest", 4},
                                             {kHarbourGbk, 5}, {"Castle", 6}, {"Town", 7}, {kTownGbk, 8}}));
        EXPECT_EQ(StoredCount(ModRes()), 718);
        const std::string written = TempDir::ReadFile(ModRes());
        EXPECT_EQ(written.substr(0, 52), kBaseIndex.substr(0, 52));
        EXPECT_EQ(written.substr(54, kBaseIndex.size() - 54), kBaseIndex.substr(54));
        EXPECT_EQ(*directories, (SnDirectoryMap::Entries{{"SN06", "Castle"}, {"SN07", "Town"}, {"SN08", kTownUtf8}}));
        EXPECT_EQ(BuildSnDirectoryMap(Mod()).AllEntries(), *directories);
    }
}

TEST_F(AutoResTest, AFailureAnywhereLeavesThePreviousIndexAsItWas) {
    WriteMaps();
    const std::string previous = AsString(testsupport::GameIndex({"Previous"})) + "kept";
    const std::string temporary = TemporaryResPath(ModRes());
    struct Case {
        const char* what;
        std::function<void()> arrange;
        std::function<void()> undo;
    };
    HANDLE locked = INVALID_HANDLE_VALUE;
    const Case cases[] = {
        {"a folder where the new index would go", [&] { TempDir::MakeFolders(temporary); },
         [&] { RemoveDirectoryW(Utf8ToWide(temporary).c_str()); }},
        {"a read-only file where the new index would go",
         [&] {
             TempDir::WriteFile(temporary, "someone else's");
             SetFileAttributesW(Utf8ToWide(temporary).c_str(), FILE_ATTRIBUTE_READONLY);
         },
         [&] {
             EXPECT_EQ(TempDir::ReadFile(temporary), "someone else's");
             SetFileAttributesW(Utf8ToWide(temporary).c_str(), FILE_ATTRIBUTE_NORMAL);
             DeleteFileW(Utf8ToWide(temporary).c_str());
         }},
        {"an index held open without leave to replace it",
         [&] {
             locked = CreateFileW(Utf8ToWide(ModRes()).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  0, nullptr);
         },
         [&] { CloseHandle(locked); }},
        {"a read-only index",
         [&] { SetFileAttributesW(Utf8ToWide(ModRes()).c_str(), FILE_ATTRIBUTE_READONLY); },
         [&] { SetFileAttributesW(Utf8ToWide(ModRes()).c_str(), FILE_ATTRIBUTE_NORMAL); }},
    };
    for (const Case& c : cases) {
        game.Write("mods\\M\\Tavren.res", previous);
        c.arrange();
        EXPECT_FALSE(RebuildRes(Mod(), ModRes(), BaseRes(), 3)) << c.what;
        EXPECT_EQ(TempDir::ReadFile(ModRes()), previous) << c.what;
        EXPECT_FALSE(PerformAppendMode(Mod(), ModRes(), BaseRes())) << c.what;
        EXPECT_EQ(TempDir::ReadFile(ModRes()), previous) << c.what;
        c.undo();
        EXPECT_FALSE(FileExists(temporary)) << c.what;
    }

}

TEST_F(AutoResTest, ThePlanWritesNothingAndIsWhatTheStepCarriesOut) {
    WriteMaps();
    struct Case {
        std::uint32_t mode;
        const char* mod;
        AutoResStep step;
        bool newIndex;
    };
    const Case cases[] = {
        {0, "M", AutoResStep::Off, false},         {1, "", AutoResStep::Off, false},
        {1, "Missing", AutoResStep::NoModFolder, false}, {2, "base", AutoResStep::BaseSelected, false},
        {2, "M", AutoResStep::Rebuild, true},      {2, "M", AutoResStep::UpToDate, false},
        {3, "M", AutoResStep::Append, true},       {1, "M", AutoResStep::Rebuild, true},
    };
    for (const Case& c : cases) {
        const std::string before = TempDir::ReadFile(ModRes());
        const AutoResPlan plan = PlanAutoRes(Settings(c.mode, c.mod), game.Path());
        EXPECT_EQ(plan.step, c.step) << c.mode << c.mod;
        EXPECT_EQ(plan.update.has_value(), c.newIndex) << c.mode << c.mod;
        EXPECT_EQ(TempDir::ReadFile(ModRes()), before) << c.mode << c.mod;
        EXPECT_EQ(TempDir::ReadFile(BaseRes()), kBaseIndex);

        EXPECT_EQ(RunAutoRes(Settings(c.mode, c.mod), game.Path()).AllEntries(), plan.table.AllEntries())
            << c.mode << c.mod;
        // Without a new index the old one is left alone, bytes after its end and all.
        EXPECT_EQ(TempDir::ReadFile(ModRes()), plan.update ? AsString(plan.update->bytes) : before) << c.mode << c.mod;
        if (FileExists(ModRes())) game.Write("mods\\M\\Tavren.res", TempDir::ReadFile(ModRes()) + "end");
    }
}

TEST_F(AutoResTest, AnIndexThatCannotBeReplacedKeepsItsOwnTable) {
    game.Write("mods\\M\\Tavren.res", AsString(testsupport::GameIndex({"Town"})));
    game.Write("mods\\M\\Abbey\\abbey.gmb", "g");
    game.Write("mods\\M\\Town\\town.gmb", "g");
    const AutoResPlan plan = PlanAutoRes(Settings(1), game.Path());
    EXPECT_EQ(plan.table.AllEntries(), (SnDirectoryMap::Entries{{"SN01", "Abbey"}, {"SN02", "Town"}}));
    HANDLE held = CreateFileW(Utf8ToWide(ModRes()).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    // The game still reads the old index: its table is the one to publish.
    EXPECT_EQ(RunAutoRes(Settings(1), game.Path()).AllEntries(), (SnDirectoryMap::Entries{{"SN01", "Town"}}));
    CloseHandle(held);
    EXPECT_EQ(Listed(ModRes()), (Listing{{"Town", 1}}));
}

TEST_F(AutoResTest, AMapTableOfOnlySnMapsIsReadBackFromTheNewIndex) {
    // Only sn folders are written, so the new index maps nothing by itself;
    // a pack the rebuild leaves out is found among its blocks by its name.
    game.Write("mods\\M\\sn01\\sn01.des", DesFile("Castle"));
    game.Write("mods\\M\\Castle.pvk", std::string(2 * 1024 * 1024, 'p'));
    AutoResSettings settings = Settings(1);
    settings.preloadLevel = 0;  // no pack taken by the rebuild
    const AutoResPlan plan = PlanAutoRes(settings, game.Path());
    ASSERT_TRUE(plan.update);
    EXPECT_TRUE(plan.update->directories.empty());
    EXPECT_EQ(plan.table.AllEntries(), (SnDirectoryMap::Entries{{"SN01", "Castle"}}));
    EXPECT_FALSE(FileExists(ModRes()));
    EXPECT_EQ(RunAutoRes(settings, game.Path()).AllEntries(), plan.table.AllEntries());
    EXPECT_EQ(BuildSnDirectoryMap(Mod()).AllEntries(), plan.table.AllEntries());
}

TEST_F(AutoResTest, WithoutABaseFolderIndexTheGameFoldersIsTheBase) {
    DeleteFileW(Utf8ToWide(BaseRes()).c_str());
    game.Write("Tavren.res", AsString(testsupport::GameIndex({"Only"})));
    game.Write("mods\\M\\Town\\town.gmb", "g");
    EXPECT_EQ(RunAutoRes(Settings(3), game.Path()).Find("SN02"), "Town");
    EXPECT_EQ(Listed(ModRes()), (Listing{{"Only", 1}, {"Town", 2}}));
}

TEST_F(AutoResTest, TheBaseIndexIsNeverWrittenWhenBaseIsSelected) {
    // The base folder's maps: its own sn folders, and Harbor, which its index lists.
    const std::string baseIndex = AsString(testsupport::GameIndex({"Plains", "Harbor", "Citadel"}));
    game.Write("base\\Tavren.res", baseIndex);
    game.Write("base\\sn01\\sn01.des", DesFile("Plains"));
    game.Write("base\\Harbor\\h.gmb", "g");
    game.Write("base\\Fresh\\f.gmb", "a map the base index does not list");
    for (std::uint32_t mode : {1u, 2u, 3u}) {
        EXPECT_EQ(RunAutoRes(Settings(mode, "base"), game.Path()).AllEntries(),
                  (SnDirectoryMap::Entries{{"SN02", "Harbor"}}))
            << mode;
        EXPECT_EQ(TempDir::ReadFile(game / "base\\Tavren.res"), baseIndex) << mode;
        EXPECT_FALSE(FileExists(TemporaryResPath(game / "base\\Tavren.res"))) << mode;
    }
    // Nor is an index created in base when the base index is the game folder's.
    DeleteFileW(Utf8ToWide(game / "base\\Tavren.res").c_str());
    game.Write("Tavren.res", baseIndex);
    EXPECT_TRUE(RunAutoRes(Settings(1, "base"), game.Path()).Empty());
    EXPECT_FALSE(FileExists(game / "base\\Tavren.res"));
}
