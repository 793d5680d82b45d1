// AutoRes on real mod folders: the rebuild, the append mode, start after
// start, a failed replacement, the base index never written. The stand-in
// game's test opens every listed map through its path.
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
    game.Write("mods\\M\\Dark Forest\\x.gmb", "g");  // named like sn01's map: a table found by name would mix them up
    for (int start = 0; start < 2; ++start) {  // the second start leaves the index as it is, and gives the same table
        EXPECT_EQ(PlanAutoRes(Settings(2), game.Path()).step, start == 0 ? AutoResStep::Rebuild : AutoResStep::UpToDate);
        // sn folders keep their numbers with their description names, the others take the free ones by GBK name.
        EXPECT_EQ(RunAutoRes(Settings(1), game.Path()).AllEntries(),
                  (Entries{{"SN02", "Castle"}, {"SN03", "Dark Forest"}, {"SN04", "Town"}, {"SN05", kTownUtf8}}));
        EXPECT_EQ(Listed(ModRes()), (Listing{{"Dark Forest", 1}, {"Castle", 2}, {"Dark Forest", 3}, {"Town", 4}, {kTownGbk, 5}}));
    }
    // The base lists sn01 already; a free-named folder keeps its folder name, whatever its description file says.
    EXPECT_EQ(RunAutoRes(Settings(3), game.Path()).AllEntries(),
              (Entries{{"SN04", "Castle"}, {"SN05", "Dark Forest"}, {"SN06", "Town"}, {"SN07", kTownUtf8}}));
    EXPECT_EQ(Listed(ModRes()).back(), (std::pair<std::string, int>{kTownGbk, 7}));
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
