// The full stage on real game folders: the mod scan and configurations, the
// base folder and its default base.ini, the base folder as the rest of the
// system sees it, the pack list of the index thread, overlapping initialisations.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

#include "common/FileSystem.h"
#include "common/TextEncoding.h"
#include "config/ConfigManager.h"
#include "config/ModInfoText.h"
#include "startup/BackgroundThreads.h"
#include "startup/RouterSetup.h"
#include "support/RegistrySandbox.h"
#include "support/TempDir.h"

using namespace modroute;
using testsupport::TempDir;

namespace {

class ConfigManagerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(registry.Active()); }

    // A fresh start of the game in folder, both stages.
    ConfigManager& Start(const std::string& folder) {
        config = std::make_unique<ConfigManager>(folder);
        EXPECT_TRUE(config->FullInitialize());
        EXPECT_TRUE(config->IsFullyInitialized());
        return *config;
    }
    std::vector<std::string> FolderNames() const {
        std::vector<std::string> names;
        for (const ModFolder& folder : config->Mods().GetModFolders()) names.push_back(folder.name);
        return names;
    }

    testsupport::RegistrySandbox registry;
    std::unique_ptr<ConfigManager> config;
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

    std::vector<std::string> expected = ListFolders(game / "mods");
    expected.insert(expected.begin(), "base");
    ASSERT_EQ(FolderNames(), expected);
    const std::vector<ModFolder> folders = config->Mods().GetModFolders();
    for (const ModFolder& folder : folders) {
        EXPECT_EQ(folder.path, game / (folder.name == "base" ? "base" : "mods\\" + folder.name));
    }
    EXPECT_EQ(folders[0].info.title, "BASE");  // base without base.ini, and no configuration
    EXPECT_FALSE(config->GetModConfig("base"));
    EXPECT_EQ(config->GetModConfig("Blades").value().title, "Blades of Dawn");
    const ModConfig plain = config->GetModConfig("Plain").value();
    EXPECT_EQ(plain.title + "|" + plain.author + "|" + plain.info, "Plain|未知作者|自定义MOD资源");
    const ModConfig empty = config->GetModConfig("Empty").value();
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
    EXPECT_FALSE(config->GetModConfig("Locked"));
    CloseHandle(locked);

    // Read later: raw bytes over the plain defaults.
    ModCatalog& mods = config->Mods();
    ASSERT_TRUE(mods.LoadModConfig("Locked"));
    const ModConfig loaded = config->GetModConfig("Locked").value();
    EXPECT_EQ(loaded.title + "|" + loaded.image + "|" + loaded.author, "刀锋|a//b.jpg|Orbisoft");

    // Other names: base.ini, the game folder's own name, and no file at all.
    game.Write("base\\base.ini", "[ModInfo]\ntitle=From base\n");
    game.Write("Tavren.ini", "[ModInfo]\ntitle=From the game folder\n");
    ASSERT_TRUE(mods.LoadModConfig("base") && mods.LoadModConfig("Tavren") && mods.LoadModConfig("Missing"));
    EXPECT_EQ(config->GetModConfig("base").value().title, "From base");
    EXPECT_EQ(config->GetModConfig("Tavren").value().title, "From the game folder");
    EXPECT_EQ(config->GetModConfig("Missing").value().author, "未知作者");
}

TEST_F(ConfigManagerTest, GameWithoutBaseOrModsIsItsOwnRootEntry) {
    TempDir plain("Blades.net");
    Start(plain.Path());
    ASSERT_EQ(FolderNames(), std::vector<std::string>{"Blades"});
    EXPECT_EQ(config->Mods().GetModFolders()[0].path, plain.Path());
    const ModConfig root = config->GetModConfig("Blades").value();
    EXPECT_EQ(root.title + "|" + root.author + "|" + root.type + "|" + root.image, "Blades|Orbisoft|1|info.jpg");
    EXPECT_TRUE(ListFolders(plain.Path()).empty());  // the game's own layout is left alone

    TempDir described("刀锋.2024.1");
    described.Write("刀锋.2024.ini", "[ModInfo]\ntitle=Described\n");
    Start(described.Path());
    ASSERT_EQ(FolderNames(), std::vector<std::string>{"刀锋.2024"});
    EXPECT_EQ(config->GetModConfig("刀锋.2024").value().title, "Described");
}

TEST_F(ConfigManagerTest, FirstStartCreatesBaseAfterTheScanAndAFileInItsWayIsLeftAlone) {
    TempDir game("game");
    game.MakeFolder("mods\\Blades");
    Start(game.Path());
    EXPECT_EQ(TempDir::ReadFile(game / "base\\base.ini"), DefaultBaseIniBytes());
    EXPECT_EQ(FolderNames(), std::vector<std::string>{"Blades"});  // scanned before base was made
    Start(game.Path());
    EXPECT_EQ(FolderNames(), (std::vector<std::string>{"base", "Blades"}));
    EXPECT_EQ(config->Mods().GetModFolders()[0].info.title, "Tavren.net");

    TempDir blocked("blocked");
    blocked.MakeFolder("mods");
    blocked.Write("base", "a file");
    Start(blocked.Path());
    EXPECT_FALSE(config->Mods().EnsureBaseFolder());
    EXPECT_EQ(TempDir::ReadFile(blocked / "base"), "a file");
}

TEST_F(ConfigManagerTest, OverlappingFullInitializationsRunTheBodyOnce) {
    constexpr std::size_t kMods = 120;
    TempDir game("game");
    for (std::size_t i = 0; i < kMods; ++i) {
        const std::string name = "Mod" + std::to_string(i);
        game.Write("mods\\" + name + "\\" + name + ".ini", "[ModInfo]\ntitle=" + name + "\n");
    }
    config = std::make_unique<ConfigManager>(game.Path());
    config->EarlyInitialize();  // as at attach, before any other thread exists

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
        const bool result = config->FullInitialize();
        completeAtReturn[i] = result && config->IsFullyInitialized() &&
                              config->Mods().GetModFolders().size() == kMods && config->GetModConfig("Mod119");
    };
    std::thread reader([&] {
        startTogether();
        while (!done.load()) {
            const std::size_t size = config->Mods().GetModFolders().size();
            if ((size != 0 && size != kMods) || config->GetBaseFolder() != game / "base") partialSeen = true;
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
    EXPECT_EQ(config->FullInitializationRuns(), 1);
}

// A mod's rules: its file index in probe order, then its [ModConfig] lines.
std::string RulesText(const std::optional<ModConfig>& config) {
    if (!config) return "<no configuration>";
    std::string text;
    for (const ResourceRule& rule : config->rules) {
        text += rule.name + "=" + std::to_string(static_cast<unsigned>(rule.mode)) + (rule.isFile ? "f " : "d ");
    }
    return text;
}

TEST_F(ConfigManagerTest, ChineseModSelectedInGbkFindsItsConfigurationPacksAndRules) {
    TempDir game("游戏");
    game.Write("ModRoute.ini", "[Settings]\nSelectedMod=" + Utf8ToGbk("刀锋") + "\n");  // saved as code page 936
    game.Write("mods\\刀锋\\刀锋.ini", "[ModInfo]\ntitle=锋利的刀\n[ModConfig]\nmusic=0\nwaves.pak=2\n");
    game.MakeFolder("mods\\刀锋\\texture");
    game.Write("mods\\刀锋\\waves.pak", "pack");
    game.Write("mods\\刀锋\\包.pvk", "PVK2");
    game.MakeFolder("mods\\其他\\texture");
    game.Write("base\\a.pvk", "PVK2");
    game.Write("base\\sub.pvk\\b.pvk", "PVK2");  // a folder named like a pack
    config = std::make_unique<ConfigManager>(game.Path());
    ASSERT_TRUE(config->EarlyInitialize());
    EXPECT_EQ(config->GetSelectedModFolder(), game / "mods\\刀锋");
    EXPECT_FALSE(config->LoadSelectedModResourceRules());  // no configuration before the scan
    // Before the scan the base folder is derived from the game folder, after it taken from the scan.
    for (int stage = 0; stage < 2; ++stage) {
        EXPECT_EQ(config->GetBaseFolder(), game / "base");
        EXPECT_EQ(PvkIndexFiles(config->GetBaseFolder(), config->GetSelectedModFolder()),
                  (std::vector<std::string>{game / "base\\a.pvk", game / "mods\\刀锋\\包.pvk"}));
        ASSERT_TRUE(config->FullInitialize());
    }
    EXPECT_EQ(config->GetSelectedMod(), "刀锋");
    EXPECT_EQ(RulesText(config->GetModConfig("刀锋")), "");
    ASSERT_TRUE(config->LoadSelectedModResourceRules());
    EXPECT_EQ(config->GetModConfig("刀锋").value().title, "锋利的刀");
    EXPECT_EQ(RulesText(config->GetModConfig("刀锋")), "texture=1d waves.pak=2f music=0d ");
    // Another mod gets its rules on request.
    EXPECT_EQ(RulesText(config->GetModConfig("其他")), "");
    ASSERT_TRUE(config->Mods().LoadResourceRules("其他"));
    EXPECT_EQ(RulesText(config->GetModConfig("其他")), "texture=1d ");
}

TEST_F(ConfigManagerTest, LoadModConfigBuildsRulesFromTheIndexAndTheModConfigSection) {
    TempDir game("Tavren");
    game.Write("base\\base.ini", "[ModInfo]\ntitle=Base\n[ModConfig]\ntexture=0\nTavren.res=1\n");
    game.MakeFolder("base\\music");  // the base has no index: only its section counts
    game.MakeFolder("mods\\Plain\\sn01");
    game.Write("mods\\Plain\\SN02.pak", "map");
    game.Write("mods\\Blades\\Blades.ini", "[ModInfo]\ntitle=Blades\n[ModConfig]\nsn01=x\ntexture=2\n");
    game.MakeFolder("mods\\Blades\\texture");
    Start(game.Path());
    ModCatalog& mods = config->Mods();
    ASSERT_TRUE(mods.LoadModConfig("base") && mods.LoadModConfig("Plain") && mods.LoadModConfig("Blades"));
    EXPECT_EQ(RulesText(config->GetModConfig("base")), "texture=0d Tavren.res=1f ");
    EXPECT_EQ(RulesText(config->GetModConfig("Plain")), "sn01=1d sn02.pak=1f ");
    EXPECT_EQ(RulesText(config->GetModConfig("Blades")), "texture=2d ");

    // Loaded again after the description changed: the rules follow it.
    game.Write("mods\\Blades\\Blades.ini", "[ModInfo]\ntitle=Blades\n[ModConfig]\ntexture=0\n");
    ASSERT_TRUE(mods.LoadModConfig("Blades"));
    EXPECT_EQ(RulesText(config->GetModConfig("Blades")), "texture=0d ");
    EXPECT_FALSE(mods.LoadResourceRules("Missing"));
    EXPECT_FALSE(config->GetModConfig("Missing"));
}

// Records the thread of every question a mod file index asks.
class ThreadRecordingProbes final : public ModFolderProbes {
public:
    bool DirectoryExists(std::string_view path) override { return Record(), DiskProbes().DirectoryExists(path); }
    bool FileExists(std::string_view path) override { return Record(), DiskProbes().FileExists(path); }
    std::uint64_t FileTime(std::string_view path) override { return Record(), DiskProbes().FileTime(path); }
    std::uint64_t Now() override { return Record(), DiskProbes().Now(); }

    std::set<DWORD> Threads() {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_threads;
    }

private:
    void Record() {
        std::lock_guard<std::mutex> lock(m_lock);
        m_threads.insert(GetCurrentThreadId());
    }
    std::mutex m_lock;
    std::set<DWORD> m_threads;
};

TEST_F(ConfigManagerTest, ModFileIndexProbesRunOnlyInTheFullInitialisation) {
    TempDir game("game");
    game.Write("ModRoute.ini", "[Settings]\nSelectedMod=Blades\n");
    game.MakeFolder("mods\\Blades\\texture");
    ThreadRecordingProbes probes;
    config = std::make_unique<ConfigManager>(game.Path(), probes);
    // The loader's thread: the early stage and the early route context.
    ASSERT_TRUE(config->EarlyInitialize());
    EarlyRouteContext(*config);
    EXPECT_TRUE(probes.Threads().empty());

    DWORD fullInitThread = 0;
    std::thread([&] {
        fullInitThread = GetCurrentThreadId();
        config->FullInitialize();
        config->LoadSelectedModResourceRules();
    }).join();
    EXPECT_EQ(probes.Threads(), std::set<DWORD>{fullInitThread});
    EXPECT_EQ(RulesText(config->GetModConfig("Blades")), "texture=1d ");
    EXPECT_FALSE(config->GetModFileIndex("base"));
    EXPECT_FALSE(config->GetModFileIndex(""));
}

}  // namespace
