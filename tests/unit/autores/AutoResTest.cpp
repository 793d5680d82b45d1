// AutoRes on real mod folders: the rebuild, the append mode, start after
// start, a failed replacement, the base index never written.
#include <gtest/gtest.h>

#include <windows.h>

#include "autores/AutoRes.h"
#include "autores/MapNameFile.h"
#include "autores/ResFileReplace.h"
#include "common/FileSystem.h"
#include "common/TextEncoding.h"
#include "support/ResBytes.h"
#include "support/TempDir.h"
#include "vfs/VirtualFileSystem.h"

using namespace modroute;
using testsupport::AsString;
using testsupport::TempDir;

namespace {

const std::string kTownUtf8 = "\xE5\x9F\x8E", kTownGbk = "\xB3\xC7";  // 城
using Listing = testsupport::MapListing;
using Entries = SnDirectoryMap::Entries;

std::string DesFile(const std::string& name) { return "GModel Description File V1.0\r\n" + name + "\r\nSceneObjects 3\r\n"; }
Listing Listed(const std::string& resPath) { return testsupport::ListedMaps(TempDir::ReadFile(resPath)); }

// A game with a base index of three game maps and a mod M.
class AutoResTest : public ::testing::Test {
protected:
    void SetUp() override {
        game.Write("base\\Tavren.res", kBaseIndex);
        game.MakeFolder("mods\\M");
    }
    std::string Mod(const std::string& relative = "") const { return game / ("mods\\M" + (relative.empty() ? "" : "\\" + relative)); }
    std::string ModRes() const { return Mod("Tavren.res"); }
    std::string BaseRes() const { return game / "base\\Tavren.res"; }
    // An sn folder with a description file, free-named folders, a pack, and folders that are no maps.
    void WriteMaps() const {
        game.Write("mods\\M\\sn01\\a.des", DesFile("Other"));  // the folder's own file comes first
        game.Write("mods\\M\\sn01\\sn01.des", DesFile("Dark Forest"));
        game.Write("mods\\M\\Town\\town.gmb", "g");
        game.Write("mods\\M\\" + kTownUtf8 + "\\a.des", DesFile("Another Name"));
        game.Write({{"mods\\M\\Castle.pvk", "PVK2"}, {"mods\\M\\Notes\\readme.txt", "no map"},
                    {"mods\\M\\texture\\x.gmb", "a game folder"}});
    }
    AutoResSettings Settings(std::uint32_t mode, const std::string& mod = "M") const { return {mode, mod, PreloadLimit(3)}; }
    const std::string kBaseIndex = AsString(testsupport::GameIndex({"Plains", "Snow Pass", "Citadel"}));
    TempDir game{"game"};
};

}  // namespace

TEST_F(AutoResTest, RebuildAndAppendListTheModsMapsAndMapTheFreeNamedOnes) {
    WriteMaps();
    const Entries rebuilt = RunAutoRes(Settings(1), game.Path()).AllEntries();
    // sn folders by number with their description names, then the others by GBK name.
    EXPECT_EQ(Listed(ModRes()), (Listing{{"Dark Forest", 1}, {"Castle", 2}, {"Town", 3}, {kTownGbk, 4}}));
    EXPECT_EQ(rebuilt, (Entries{{"SN02", "Castle"}, {"SN03", "Town"}, {"SN04", kTownUtf8}}));
    EXPECT_EQ(BuildSnDirectoryMap(Mod()).AllEntries(), rebuilt);  // read back from the index, the same table
    const Entries appended = RunAutoRes(Settings(3), game.Path()).AllEntries();
    // The base lists sn01 already; a free-named folder keeps its folder name, whatever its description file says.
    EXPECT_EQ(Listed(ModRes()), (Listing{{"Plains", 1}, {"Snow Pass", 2}, {"Citadel", 3}, {"Castle", 4}, {"Town", 5},
                                         {kTownGbk, 6}}));
    EXPECT_EQ(appended, (Entries{{"SN04", "Castle"}, {"SN05", "Town"}, {"SN06", kTownUtf8}}));
    EXPECT_EQ(TempDir::ReadFile(BaseRes()), kBaseIndex);
}

TEST_F(AutoResTest, EveryStartGivesTheSameTableAndWritesOnlyAnIndexThatDiffers) {
    // sn01's map is named like the free-named Snowfield; map 5 has a name starting with a digit.
    game.Write({{"mods\\M\\sn01\\sn01.des", DesFile("Snowfield")}, {"mods\\M\\sn02\\x.gmb", "g"},
                {"mods\\M\\sn03\\x.gmb", "g"}, {"mods\\M\\sn04\\x.gmb", "g"}, {"mods\\M\\Snowfield\\x.gmb", "g"},
                {"mods\\M\\1st Pass\\x.gmb", "g"}, {"mods\\M\\Castle.pvk", "PVK2"}});
    const Entries expected = {{"SN05", "1st Pass"}, {"SN06", "Castle"}, {"SN07", "Snowfield"}};
    for (const std::uint32_t mode : {1u, 2u, 3u}) {
        EXPECT_EQ(RunAutoRes(Settings(mode), game.Path()).AllEntries(), expected) << mode;
        const std::string written = TempDir::ReadFile(ModRes());
        TempDir::Age(ModRes());
        EXPECT_EQ(RunAutoRes(Settings(mode), game.Path()).AllEntries(), expected) << mode;
        EXPECT_TRUE(TempDir::Aged(ModRes())) << mode;
        // A renamed map and a changed base make another index, written once.
        game.Write("mods\\M\\sn04\\sn04.des", DesFile("Frozen " + std::to_string(mode)));
        EXPECT_EQ(RunAutoRes(Settings(mode), game.Path()).AllEntries(), expected) << mode;
        EXPECT_FALSE(TempDir::Aged(ModRes())) << mode;
        EXPECT_NE(TempDir::ReadFile(ModRes()), written) << mode;
        game.Write("base\\Tavren.res", kBaseIndex.substr(0, 20) + "!" + kBaseIndex.substr(21));
        TempDir::Age(ModRes());
        RunAutoRes(Settings(mode), game.Path());
        EXPECT_FALSE(TempDir::Aged(ModRes())) << mode;
        game.Write("base\\Tavren.res", kBaseIndex);
    }
}

TEST_F(AutoResTest, AFailureLeavesThePreviousIndexAndItsTable) {
    WriteMaps();
    const std::string previous = AsString(testsupport::GameIndex({"Town"})) + "kept";
    const std::string temporary = TemporaryResPath(ModRes());
    game.Write("mods\\M\\Tavren.res", previous);
    TempDir::MakeFolders(temporary);  // a folder where the new index would go
    for (const std::uint32_t mode : {1u, 3u}) {
        EXPECT_EQ(RunAutoRes(Settings(mode), game.Path()).AllEntries(), (Entries{{"SN01", "Town"}})) << mode;
        EXPECT_EQ(TempDir::ReadFile(ModRes()), previous);
    }
}

TEST_F(AutoResTest, ThePlanWritesNothingAndIsWhatTheStepCarriesOut) {
    WriteMaps();
    const std::tuple<std::uint32_t, const char*, AutoResStep, bool> cases[] = {
        {0, "M", AutoResStep::Off, false},          {1, "Missing", AutoResStep::NoModFolder, false},
        {2, "base", AutoResStep::BaseSelected, false}, {2, "M", AutoResStep::Rebuild, true},
        {1, "M", AutoResStep::UpToDate, false},     {3, "M", AutoResStep::Append, true},
        {3, "M", AutoResStep::UpToDate, false},     {2, "M", AutoResStep::Rebuild, true},
    };
    for (const auto& [mode, mod, step, newIndex] : cases) {
        const std::string before = TempDir::ReadFile(ModRes());
        const AutoResPlan plan = PlanAutoRes(Settings(mode, mod), game.Path());
        EXPECT_EQ(plan.step, step) << mode << mod;
        EXPECT_EQ(plan.update.has_value(), newIndex) << mode << mod;
        EXPECT_EQ(TempDir::ReadFile(ModRes()), before) << mode << mod;
        EXPECT_EQ(RunAutoRes(Settings(mode, mod), game.Path()).AllEntries(), plan.table.AllEntries()) << mode << mod;
        // Without a new index the old one is left alone.
        EXPECT_EQ(TempDir::ReadFile(ModRes()), plan.update ? AsString(plan.update->bytes) : before) << mode << mod;
    }
}

TEST_F(AutoResTest, TheBaseIndexIsNeverWrittenAndWithoutItTheGameFoldersIsTheBase) {
    // The base folder's maps: its own sn folders, and Harbor, which its index lists.
    const std::string baseIndex = AsString(testsupport::GameIndex({"Plains", "Harbor"}));
    game.Write("base\\Tavren.res", baseIndex);
    game.Write("base\\sn01\\sn01.des", DesFile("Plains"));
    game.Write({{"base\\Harbor\\h.gmb", "g"}, {"base\\Fresh\\f.gmb", "a map the base index does not list"}});
    EXPECT_EQ(RunAutoRes(Settings(1, "base"), game.Path()).AllEntries(), (Entries{{"SN02", "Harbor"}}));
    EXPECT_EQ(TempDir::ReadFile(BaseRes()), baseIndex);
    DeleteFileW(Utf8ToWide(BaseRes()).c_str());
    game.Write("Tavren.res", baseIndex);
    EXPECT_TRUE(RunAutoRes(Settings(3, "base"), game.Path()).Empty());
    EXPECT_FALSE(FileExists(BaseRes()));  // nor is one created in base
    game.Write("mods\\M\\Town\\town.gmb", "g");
    EXPECT_EQ(RunAutoRes(Settings(3), game.Path()).Find("SN03"), "Town");
    EXPECT_EQ(Listed(ModRes()), (Listing{{"Plains", 1}, {"Harbor", 2}, {"Town", 3}}));
}
