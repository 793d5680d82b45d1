// The full stage on real game folders: the mod scan and configurations, the
// base folder and its default base.ini, both forms of the game and base
// folders, the pack list of the index thread, overlapping initialisations.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "common/TextEncoding.h"
#include "config/ConfigManager.h"
#include "startup/BackgroundThreads.h"
#include "support/DefaultBaseIni.h"
#include "support/RegistrySandbox.h"
#include "support/TempDir.h"

using namespace modroute;
using testsupport::kDefaultBaseIni;
using testsupport::TempDir;

namespace {

// Sub-folder names (code page 936) in listing order.
std::vector<std::string> ListedFolders(const std::string& utf8Folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA((Utf8ToAnsi(utf8Folder) + "\\*").c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        const std::string name = data.cFileName;
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(search, &data));
    FindClose(search);
    return names;
}

class ConfigManagerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(registry.Active()); }
    void TearDown() override { config.ResetForTesting(); }

    // A fresh start of the game in folder, both stages.
    void Start(const std::string& folder) {
        config.ResetForTesting(folder);
        ASSERT_TRUE(config.FullInitialize());
        ASSERT_TRUE(config.IsFullyInitialized());
    }
    std::vector<std::string> FolderNames() const {
        std::vector<std::string> names;
        for (const ModFolder& folder : config.GetModFolders()) names.push_back(folder.name);
        return names;
    }

    testsupport::RegistrySandbox registry;
    ConfigManager& config = ConfigManager::Instance();
};

TEST_F(ConfigManagerTest, ScanListsBaseFirstThenModsInListingOrder) {
    TempDir game("game");
    game.MakeFolder("base");
    game.Write("mods\\Blades\\Blades.ini", "[ModInfo]\ntitle=Blades of Dawn\n");
    game.Write("mods\\Blades\\mod.ini", "[ModInfo]\ntitle=Wrong file\n");
    game.MakeFolder("mods\\Plain");
    game.Write("mods\\Empty\\Empty.ini", "no section\n");
    game.Write("mods\\loose.ini", "[ModInfo]\n");  // a file, not a mod
    Start(game.Path());

    std::vector<std::string> expected = ListedFolders(game / "mods");
    expected.insert(expected.begin(), "base");
    ASSERT_EQ(FolderNames(), expected);
    const std::vector<ModFolder> folders = config.GetModFolders();
    for (const ModFolder& folder : folders) {
        EXPECT_EQ(folder.path, game / (folder.name == "base" ? "base" : "mods\\" + folder.name));
    }
    // base without base.ini: the stock description, and no configuration.
    EXPECT_EQ(folders[0].info.title, "BASE");
    EXPECT_EQ(folders[0].info.info, Utf8ToAnsi("基础资源文件"));
    EXPECT_EQ(folders[0].info.type, Utf8ToAnsi("官方原版"));
    EXPECT_FALSE(config.GetModConfig("base"));

    EXPECT_EQ(config.GetModConfig("Blades").value().title, "Blades of Dawn");
    const ModConfig plain = config.GetModConfig("Plain").value();
    EXPECT_EQ(plain.title + "|" + plain.version + "|" + plain.image + "|" + plain.folderName, "Plain|1.0.0|info.jpg|");
    EXPECT_EQ(plain.author, Utf8ToAnsi("未知作者"));
    EXPECT_EQ(plain.info, Utf8ToAnsi("自定义MOD资源"));
    const ModConfig empty = config.GetModConfig("Empty").value();
    EXPECT_EQ(empty.title + "|" + empty.folderName + "|" + empty.info, "Empty|Empty|");
}

TEST_F(ConfigManagerTest, UnreadableDescriptionIsRetriedByLoadModConfig) {
    TempDir game("Tavren");
    game.Write("mods\\Locked\\Locked.ini", "[ModInfo]\ntitle=刀锋\nimage=a//b.jpg\n");
    HANDLE locked = CreateFileW(Utf8ToWide(game / "mods\\Locked\\Locked.ini").c_str(), GENERIC_READ, 0, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(locked, INVALID_HANDLE_VALUE);
    Start(game.Path());
    EXPECT_EQ(FolderNames(), std::vector<std::string>{"Locked"});
    EXPECT_FALSE(config.GetModConfig("Locked"));
    CloseHandle(locked);

    // Read later: raw bytes over the plain defaults.
    ASSERT_TRUE(config.LoadModConfig("Locked"));
    const ModConfig loaded = config.GetModConfig("Locked").value();
    EXPECT_EQ(loaded.title + "|" + loaded.image + "|" + loaded.author, "刀锋|a//b.jpg|Orbisoft");

    // Other names: base.ini, the game folder's own name, and no file at all.
    game.Write("base\\base.ini", "[ModInfo]\ntitle=From base\n");
    game.Write("Tavren.ini", "[ModInfo]\ntitle=From the game folder\n");
    ASSERT_TRUE(config.LoadModConfig("base") && config.LoadModConfig("Tavren") && config.LoadModConfig("Missing"));
    EXPECT_EQ(config.GetModConfig("base").value().title, "From base");
    EXPECT_EQ(config.GetModConfig("Tavren").value().title, "From the game folder");
    EXPECT_EQ(config.GetModConfig("Missing").value().author, Utf8ToAnsi("未知作者"));
    DeleteFileW(Utf8ToWide(game / "Tavren.ini").c_str());
    ASSERT_TRUE(config.LoadModConfig("Tavren"));
    EXPECT_EQ(config.GetModConfig("Tavren").value().author, "Orbisoft");
}

TEST_F(ConfigManagerTest, GameWithoutBaseOrModsIsItsOwnRootEntry) {
    TempDir plain("Blades.net");
    Start(plain.Path());
    ASSERT_EQ(FolderNames(), std::vector<std::string>{"Blades"});
    EXPECT_EQ(config.GetModFolders()[0].path, plain.Path());
    const ModConfig root = config.GetModConfig("Blades").value();
    EXPECT_EQ(root.title + "|" + root.author + "|" + root.version + "|" + root.type + "|" + root.image,
              "Blades|Orbisoft|9.0.7|1|info.jpg");
    EXPECT_EQ(root.info, Utf8ToAnsi("基于 Blades 文件夹的游戏原版结构"));
    EXPECT_TRUE(ListedFolders(plain.Path()).empty());  // the game's own layout is left alone

    TempDir described("刀锋.2024.1");
    described.Write("刀锋.2024.ini", "[ModInfo]\ntitle=Described\n");
    Start(described.Path());
    ASSERT_EQ(FolderNames(), std::vector<std::string>{Utf8ToAnsi("刀锋.2024")});
    EXPECT_EQ(config.GetModConfig(Utf8ToAnsi("刀锋.2024")).value().title, "Described");
}

TEST_F(ConfigManagerTest, FirstStartCreatesBaseAndLaterStartsFindAndKeepIt) {
    TempDir game("game");
    game.MakeFolder("mods\\Blades");
    Start(game.Path());
    EXPECT_EQ(TempDir::ReadFile(game / "base\\base.ini"), kDefaultBaseIni);
    EXPECT_EQ(FolderNames(), std::vector<std::string>{"Blades"});  // scanned before base was made
    std::vector<std::string> created = ListedFolders(game.Path());
    std::sort(created.begin(), created.end());
    EXPECT_EQ(created, (std::vector<std::string>{"base", "mods"}));

    Start(game.Path());
    EXPECT_EQ(FolderNames(), (std::vector<std::string>{"base", "Blades"}));
    const ModInfo base = config.GetModFolders()[0].info;
    EXPECT_EQ(base.title + "|" + base.author + "|" + base.version + "|" + base.type + "|" + base.image,
              "Tavren.net|Orbisoft|9.0.7|1|info.jpg");

    game.Write("base\\base.ini", "edited");
    Start(game.Path());
    EXPECT_TRUE(config.EnsureBaseFolder());
    EXPECT_EQ(TempDir::ReadFile(game / "base\\base.ini"), "edited");

    // A file in the way of base: reported, left alone, and no failure of the stage.
    TempDir blocked("blocked");
    blocked.MakeFolder("mods");
    blocked.Write("base", "a file");
    Start(blocked.Path());
    EXPECT_FALSE(config.EnsureBaseFolder());
    EXPECT_EQ(TempDir::ReadFile(blocked / "base"), "a file");
}

TEST_F(ConfigManagerTest, ChineseGameAndModFoldersKeepBothEncodings) {
    TempDir game("游戏");
    game.Write("ModRoute.ini", "\xEF\xBB\xBF[Settings]\nSelectedMod=刀锋\n");
    game.Write("mods\\刀锋\\刀锋.ini", "[ModInfo]\ntitle=锋利的刀\n");
    game.Write("mods\\刀锋\\包.pvk", "PVK2");
    game.Write("mods\\刀锋\\readme.txt", "x");
    game.Write("base\\a.pvk", "PVK2");
    game.Write("base\\sub.pvk\\b.pvk", "PVK2");  // a folder named like a pack
    config.ResetForTesting(game.Path());
    ASSERT_TRUE(config.EarlyInitialize());
    EXPECT_EQ(config.GetGameFolderUtf8(), game.Path());
    EXPECT_EQ(config.GetGameFolderAnsi(), Utf8ToAnsi(game.Path()));
    EXPECT_NE(config.GetGameFolderAnsi(), config.GetGameFolderUtf8());
    // Before the scan the base folder is derived from the game folder, after it taken from the scan.
    for (int stage = 0; stage < 2; ++stage) {
        const BaseFolderPaths base = config.GetBaseFolder();
        EXPECT_EQ(base.utf8, game / "base");
        EXPECT_EQ(base.ansi, Utf8ToAnsi(game / "base"));
        EXPECT_EQ(PvkIndexFiles(), (std::vector<std::string>{game / "base\\a.pvk", game / "mods\\刀锋\\包.pvk"}));
        ASSERT_TRUE(config.FullInitialize());
    }
    EXPECT_EQ(FolderNames(), (std::vector<std::string>{"base", Utf8ToAnsi("刀锋")}));
    EXPECT_EQ(config.GetModFolders()[1].path, game / "mods\\刀锋");
    EXPECT_EQ(config.GetModConfig(Utf8ToAnsi("刀锋")).value().title, Utf8ToAnsi("锋利的刀"));
}

TEST_F(ConfigManagerTest, PackIndexesComeFromBaseAloneWithoutASelectedMod) {
    TempDir game("game");
    game.Write("base\\a.pvk", "PVK2");
    game.Write("mods\\Blades\\b.pvk", "PVK2");
    for (const std::string selected : {"", "base"}) {
        game.Write("ModRoute.ini", "[Settings]\nSelectedMod=" + selected + "\n");
        Start(game.Path());  // the full stage runs the early one first
        EXPECT_EQ(PvkIndexFiles(), std::vector<std::string>{game / "base\\a.pvk"}) << selected;
    }
}

TEST_F(ConfigManagerTest, OverlappingFullInitializationsRunTheBodyOnce) {
    constexpr std::size_t kMods = 120;
    TempDir game("game");
    for (std::size_t i = 0; i < kMods; ++i) {
        const std::string name = "Mod" + std::to_string(i);
        game.Write("mods\\" + name + "\\" + name + ".ini", "[ModInfo]\ntitle=" + name + "\n");
    }
    config.ResetForTesting(game.Path());
    config.EarlyInitialize();  // as at attach, before any other thread exists

    std::atomic<int> ready{0};
    std::atomic<bool> done{false};
    std::atomic<bool> partialSeen{false};
    bool completeAtReturn[2] = {};
    auto startTogether = [&] {
        for (++ready; ready.load() < 3;) {
        }
    };
    auto caller = [&](int i) {
        startTogether();
        const bool result = config.FullInitialize();
        completeAtReturn[i] = result && config.IsFullyInitialized() && config.GetModFolders().size() == kMods &&
                              config.GetModConfig("Mod119");
    };
    std::thread reader([&] {
        startTogether();
        while (!done.load()) {
            const std::size_t size = config.GetModFolders().size();
            if ((size != 0 && size != kMods) || config.GetBaseFolder().utf8 != game / "base") partialSeen = true;
        }
    });
    std::thread first(caller, 0);
    std::thread second(caller, 1);
    first.join();
    second.join();
    done = true;
    reader.join();

    EXPECT_TRUE(completeAtReturn[0]);
    EXPECT_TRUE(completeAtReturn[1]);
    EXPECT_FALSE(partialSeen);
    EXPECT_EQ(TempDir::ReadFile(game / "base\\base.ini"), kDefaultBaseIni);
}

}  // namespace
