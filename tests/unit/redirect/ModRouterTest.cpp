// Resolution against real temporary game folders.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <map>
#include <thread>
#include <vector>

#include "common/TextEncoding.h"
#include "config/ConfigManager.h"
#include "redirect/ModRouter.h"
#include "startup/RouterSetup.h"
#include "support/RegistrySandbox.h"
#include "support/TempDir.h"

extern "C" const char* ResolvePath(const char* path);

using namespace modroute;
using testsupport::TempDir;

namespace {

const std::string kChineseMod = "\xE6\xB5\x8B\xE8\xAF\x95\xE6\xA8\xA1\xE7\xBB\x84";  // 测试模组

// A virtual file system with a set of files, as the redirector sees it.
class FakeVirtualFiles final : public VirtualFileLookup {
public:
    VirtualRank RankOf(std::string_view path) const override {
        std::lock_guard<std::mutex> lock(m_lock);
        const auto found = m_files.find(std::string(path));
        return found == m_files.end() ? VirtualRank::None : found->second;
    }
    std::uint64_t Generation() const override {
        if (m_readsUntilHook > 0 && --m_readsUntilHook == 0) m_hook();
        return m_generation.load();
    }
    // Runs hook inside the count-th read of the generation from now on.
    void OnRead(int count, std::function<void()> hook) {
        m_hook = std::move(hook);
        m_readsUntilHook = count;
    }
    void Add(const std::string& path, VirtualRank rank = VirtualRank::First) {
        std::lock_guard<std::mutex> lock(m_lock);
        m_files[path] = rank;
        ++m_generation;
    }

private:
    mutable std::mutex m_lock;
    std::map<std::string, VirtualRank> m_files;
    std::atomic<std::uint64_t> m_generation{1};
    mutable std::atomic<int> m_readsUntilHook{0};
    std::function<void()> m_hook;
};

class RouterTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(registry.Active()); }

    // The configuration of the game folder read as at start-up, with the mod
    // (UTF-8) selected in a ModRoute.ini saved as UTF-8 with a byte-order mark.
    ConfigManager& Configure(const TempDir& folder, const std::string& selectedMod, bool autoRes = false) {
        folder.Write("ModRoute.ini", "\xEF\xBB\xBF[Settings]\r\nSelectedMod=" + selectedMod + "\r\n");
        if (autoRes) registry.SetDword(L"", L"AutoRes", 1);
        config = std::make_unique<ConfigManager>(folder.Path());
        config->EarlyInitialize();
        return *config;
    }
    void Start(const std::string& selectedMod, bool autoRes = false) {
        Configure(game, selectedMod, autoRes);
        router.Configure(FullRouteContext(*config));
    }
    // Started with the packs as its virtual file system.
    void StartWithPacks(const std::string& selectedMod) {
        Configure(game, selectedMod);
        RouteContext context = FullRouteContext(*config);
        context.virtualFiles = &packs;
        router.Configure(context);
    }
    std::string Resolve(const std::string& utf8Path) { return GbkToUtf8(router.ResolveFilePath(Utf8ToGbk(utf8Path))); }
    ServedFrom From(const std::string& utf8Path) { return router.ResolveUtf8(utf8Path)->from; }
    bool Redirects(const std::string& utf8Path) { return router.ShouldRedirect(Utf8ToGbk(utf8Path)); }
    std::vector<std::string> SearchPaths() {
        std::vector<std::string> paths;
        for (const SearchPath& entry : router.GetSearchPaths()) paths.push_back(entry.path);
        return paths;
    }

    testsupport::RegistrySandbox registry;
    TempDir game{"game"};
    std::unique_ptr<ConfigManager> config;
    FakeVirtualFiles packs;
    ModRouter router;
};

TEST_F(RouterTest, SearchPathListsFollowTheSelectedMod) {
    game.MakeFolder("mods\\Base");
    const std::string base = game / "base";
    struct Case { const char* mod; std::vector<std::string> expected; };
    const Case cases[] = {
        {"", {base, game.Path()}},
        {"base", {base, game.Path()}},
        {"Base", {game / "mods\\Base", base, game.Path()}},  // another letter case is a real mod
        {"Missing", {base, game.Path()}},
    };
    for (const auto& c : cases) {
        Start(c.mod);
        EXPECT_EQ(SearchPaths(), c.expected) << c.mod;
    }
    router.Configure(EarlyRouteContext(*config));
    EXPECT_EQ(SearchPaths(), (std::vector<std::string>{base, game.Path()}));
}

TEST_F(RouterTest, EachFolderServesWhatItHoldsInItsTurn) {
    game.Write("texture\\both.dds", "game");
    game.Write("mods\\Blades\\texture\\both.dds", "mod");
    game.Write("mods\\Blades\\texture\\modonly.dds", "mod");
    game.Write("base\\texture\\modonly.dds", "base");
    game.Write("base\\texture\\baseonly.dds", "base");
    game.Write("config.ini", "game");
    game.Write("mods\\Blades\\config.ini", "mod");
    game.Write("mods\\Blades\\server\\share\\a.txt", "mod");
    game.Write("maps\\sn01\\sn01.wp", "game");
    game.Write("base\\maps\\sn01\\sn01.wp", "base");
    game.Write("maps\\sn02\\a_.pst", "game");
    Start("Blades");
    const struct {
        std::string request;
        ServedFrom from;
        std::string path;  // what the export gives
    } cases[] = {
        {"texture\\both.dds", ServedFrom::GameFolder, game / "texture\\both.dds"},
        {"texture/modonly.dds", ServedFrom::Mod, game / "mods\\Blades\\texture\\modonly.dds"},
        {".\\texture\\baseonly.dds", ServedFrom::Base, game / "base\\texture\\baseonly.dds"},
        {"config.ini", ServedFrom::GameFolder, game / "config.ini"},  // a root file never leaves the game folder
        {"maps\\sn01\\sn01.wp", ServedFrom::Base, game / "base\\maps\\sn01\\sn01.wp"},  // map files prefer base
        {"maps\\sn02\\a_.pst", ServedFrom::GameFolder, game / "maps\\sn02\\a_.pst"},
        // Found nowhere: the export gives the clean relative form.
        {"\\texture//nowhere.dds", ServedFrom::Nowhere, "texture\\nowhere.dds"},
        {"..texture\\nowhere.dds", ServedFrom::Nowhere, "texture\\nowhere.dds"},
        {"./", ServedFrom::Nowhere, ""},
        // Absolute paths come back as they are.
        {"\\\\server\\share\\a.txt", ServedFrom::Unchanged, "\\\\server\\share\\a.txt"},
        {"\\\\?\\" + (game / "texture\\a.dds"), ServedFrom::Unchanged, "\\\\?\\" + (game / "texture\\a.dds")},
        {"C:relative.txt", ServedFrom::Unchanged, "C:relative.txt"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(From(c.request), c.from) << c.request;
        EXPECT_EQ(Resolve(c.request), c.path) << c.request;
    }
    EXPECT_TRUE(Redirects("maps\\sn01\\sn01.wp"));  // agrees with the resolution
    EXPECT_FALSE(Redirects("config.ini"));
    EXPECT_FALSE(Redirects("server.cfg"));  // a root file even when the game folder lacks it
    EXPECT_FALSE(Redirects("texture\\none.dds"));
    // Bytes that are not GBK text come back as they were, not as '?'.
    const std::string invalid = "texture\\\x81";
    EXPECT_EQ(router.ResolveFilePath(invalid), invalid);
    EXPECT_EQ(router.Resolve(invalid)->from, ServedFrom::Unchanged);

    Start("");  // without a mod: any path under a base resource folder
    EXPECT_TRUE(Redirects("texture\\none.dds"));
    EXPECT_FALSE(Redirects("Texture\\none.dds"));
    EXPECT_FALSE(Redirects("ddfix_assets\\x"));
}

TEST_F(RouterTest, MapIdsAreRewrittenOnlyWithAutoResAndAFilledMapAndRenderJsonFollowsThem) {
    game.Write("mods\\Blades\\Dune\\Dune.wp", "mod");
    game.Write("mods\\Blades\\Dune.pak", "mod");
    game.Write("mods\\Blades\\Dune\\render.json", "mod");
    game.Write("base\\sn01\\sn01.wp", "base");
    game.Write("base\\sn03\\render.json", "base");
    game.Write("sn03\\render.json", "game");
    game.Write("mods\\Blades\\sn04\\render.json", "mod");
    game.Write("base\\sn04\\render.json", "base");
    SnDirectoryMap map;
    map.Set("SN01", "Dune");

    Start("Blades", /*autoRes=*/false);
    router.Configure(FullRouteContext(*config, std::make_shared<const SnDirectoryMap>(map)));
    EXPECT_EQ(Resolve("sn01\\sn01.wp"), game / "base\\sn01\\sn01.wp");  // AutoRes off: no rewrite

    Start("Blades", /*autoRes=*/true);
    EXPECT_EQ(Resolve("sn01\\sn01.wp"), game / "base\\sn01\\sn01.wp");  // map still empty
    router.Configure(FullRouteContext(*config, std::make_shared<const SnDirectoryMap>(map)));  // a new map table: answers start over
    EXPECT_EQ(Resolve("sn01\\sn01.wp"), game / "mods\\Blades\\Dune\\Dune.wp");
    EXPECT_EQ(Resolve("SN01.pak"), game / "mods\\Blades\\Dune.pak");
    EXPECT_EQ(Resolve("maps\\sn01x.txt"), "maps\\sn01x.txt");
    // render.json: under the map folder of the mod, then base, then the game.
    EXPECT_EQ(Resolve("maps\\sn03\\render.json"), game / "base\\sn03\\render.json");
    EXPECT_EQ(Resolve("maps\\sn04\\render.json"), game / "mods\\Blades\\sn04\\render.json");
    EXPECT_EQ(Resolve("SN01\\render.json"), game / "mods\\Blades\\Dune\\render.json");
    EXPECT_EQ(Resolve("maps//sn09\\render.json"), "maps//sn09\\render.json");  // nowhere: the caller's own path
}

// Answers given stay when the disk changes; only those: a file the game
// writes while it runs and then reads back is its own, even where the base
// folder holds one of that name.
TEST_F(RouterTest, FirstAnswersStayButAFileCreatedInAFolderAlreadyAskedAboutIsFound) {
    game.Write("base\\texture\\a.dds", "base");
    game.Write("save\\slot1.sav", "game");
    game.Write("base\\save\\slot2.sav", "base");
    Start("Blades");
    EXPECT_EQ(Resolve("texture\\a.dds"), game / "base\\texture\\a.dds");
    EXPECT_EQ(Resolve("texture\\new.dds"), "texture\\new.dds");
    EXPECT_EQ(From("save\\slot1.sav"), ServedFrom::GameFolder);
    game.Write("texture\\a.dds", "game");
    game.Write("base\\texture\\new.dds", "base");
    router.Configure(FullRouteContext(*config));  // the same context again keeps the answers
    EXPECT_EQ(Resolve("texture\\a.dds"), game / "base\\texture\\a.dds");
    EXPECT_EQ(Resolve("texture\\new.dds"), "texture\\new.dds");
    game.Write("save\\slot2.sav", "game");
    EXPECT_EQ(Resolve("save\\slot2.sav"), game / "save\\slot2.sav");
}

TEST_F(RouterTest, AnswersGivenBeforeTheFullInitialisationAreDroppedWithIt) {
    game.Write("mods\\Blades\\texture\\hero.dds", "mod");
    game.Write("base\\texture\\hero.dds", "base");
    game.Write("mods\\Blades\\data\\modonly.dds", "mod");
    Configure(game, "Blades");
    router.Configure(EarlyRouteContext(*config));  // as at attach
    EXPECT_EQ(Resolve("texture\\hero.dds"), game / "base\\texture\\hero.dds");
    EXPECT_EQ(From("data\\modonly.dds"), ServedFrom::Nowhere);
    EXPECT_FALSE(Redirects("data\\modonly.dds"));

    router.Configure(FullRouteContext(*config));
    EXPECT_EQ(Resolve("texture\\hero.dds"), game / "mods\\Blades\\texture\\hero.dds");
    EXPECT_EQ(From("data\\modonly.dds"), ServedFrom::Mod);
    EXPECT_TRUE(Redirects("data\\modonly.dds"));
}

TEST_F(RouterTest, FilesAddedToTheVirtualFileSystemReplaceEarlierAnswers) {
    game.Write("base\\texture\\packed.dds", "base");
    StartWithPacks("");
    EXPECT_EQ(From("texture\\packed.dds"), ServedFrom::Base);
    EXPECT_EQ(From("texture\\late.dds"), ServedFrom::Nowhere);
    packs.Add("texture\\packed.dds");
    packs.Add("texture\\late.dds");
    EXPECT_EQ(Resolve("texture/packed.dds"), "[VFS]texture\\packed.dds");
    EXPECT_EQ(From("texture\\late.dds"), ServedFrom::Virtual);
    EXPECT_TRUE(Redirects("texture\\late.dds"));
}

TEST_F(RouterTest, AContextPublishedWhileAReaderStartsOverForNewPacksStands) {
    game.Write("mods\\Blades\\texture\\hero.dds", "mod");
    game.Write("base\\texture\\hero.dds", "base");
    Configure(game, "Blades");
    RouteContext early = EarlyRouteContext(*config);
    RouteContext full = FullRouteContext(*config);
    early.virtualFiles = full.virtualFiles = &packs;
    router.Configure(early);
    EXPECT_EQ(From("texture\\hero.dds"), ServedFrom::Base);
    // A pack arrives: the next reader starts over with the context it saw,
    // and the full initialisation publishes its own just then.
    packs.Add("ui\\button.dds");
    packs.OnRead(2, [&] { router.Configure(full); });
    EXPECT_EQ(From("texture\\hero.dds"), ServedFrom::Mod);
    EXPECT_EQ(router.Context()->modFolder, full.modFolder);
}

TEST_F(RouterTest, PacksRankByWhereTheyComeFromAndTheDisksAnswerLooksPastThem) {
    game.Write("mods\\Blades\\texture\\modcopy.dds", "mod");
    game.Write("base\\texture\\modcopy.dds", "base");
    game.Write("base\\texture\\basecopy.dds", "base");
    game.Write("texture\\gamecopy.dds", "game");
    game.Write("texture\\modpack.dds", "game");
    for (const char* path : {"texture\\modcopy.dds", "texture\\basecopy.dds", "texture\\gamecopy.dds",
                             "texture\\packonly.dds"}) {
        packs.Add(path, VirtualRank::WithBaseFolder);
    }
    packs.Add("texture\\modpack.dds", VirtualRank::First);
    StartWithPacks("Blades");
    EXPECT_EQ(From("texture\\modcopy.dds"), ServedFrom::Mod);        // the mod's file beats a base pack
    EXPECT_EQ(From("texture\\gamecopy.dds"), ServedFrom::GameFolder);
    EXPECT_EQ(From("texture\\basecopy.dds"), ServedFrom::Virtual);   // a base pack beats base's loose file
    EXPECT_EQ(From("texture\\packonly.dds"), ServedFrom::Virtual);
    EXPECT_EQ(From("texture\\modpack.dds"), ServedFrom::Virtual);    // first of all, even before the game folder

    // The disk's answer now: past the cache and the packs.
    ASSERT_TRUE(DeleteFileW(Utf8ToWide(game / "mods\\Blades\\texture\\modcopy.dds").c_str()));
    struct Case { std::string request; ServedFrom now; std::string path; };
    const Case cases[] = {
        {"texture\\modcopy.dds", ServedFrom::Base, game / "base\\texture\\modcopy.dds"},
        {"texture/basecopy.dds", ServedFrom::Base, game / "base\\texture\\basecopy.dds"},
        {"texture\\modpack.dds", ServedFrom::GameFolder, game / "texture\\modpack.dds"},
        {"texture\\packonly.dds", ServedFrom::Nowhere, "texture\\packonly.dds"},
        {game / "base\\texture\\basecopy.dds", ServedFrom::Unchanged, ""},
    };
    for (const auto& c : cases) {
        const auto answer = router.ResolveOnDisk(Utf8ToGbk(c.request));
        EXPECT_EQ(answer->from, c.now) << c.request;
        EXPECT_EQ(answer->path, c.path) << c.request;
    }
    // Asking the disk changes no answer given before.
    EXPECT_EQ(From("texture\\modcopy.dds"), ServedFrom::Mod);
    EXPECT_EQ(From("texture\\basecopy.dds"), ServedFrom::Virtual);
}

TEST_F(RouterTest, GameFolderEndingInABackslashTrailByteStillFindsItsSettingsAndFolders) {
    TempDir sincere("\xE5\xA1\x94\xE6\x96\x87\xE8\xAA\xA0");  // 塔文誠: 誠 is D5 5C in GBK
    sincere.Write("mods\\" + kChineseMod + "\\texture\\hero.dds", "mod");
    sincere.Write("base\\music\\theme.ogg", "base");
    sincere.Write("mods\\" + kChineseMod + "\\sn01\\render.json", "mod");
    ConfigManager& chinese = Configure(sincere, kChineseMod);
    EXPECT_EQ(chinese.GetSelectedMod(), kChineseMod);
    ASSERT_TRUE(chinese.FullInitialize());
    EXPECT_EQ(chinese.GetBaseFolder(), sincere / "base");
    router.Configure(FullRouteContext(chinese));
    EXPECT_EQ(Resolve("texture\\hero.dds"), sincere / ("mods\\" + kChineseMod + "\\texture\\hero.dds"));
    EXPECT_EQ(Resolve("music\\theme.ogg"), sincere / "base\\music\\theme.ogg");
    EXPECT_EQ(Resolve("maps\\sn01\\render.json"), sincere / ("mods\\" + kChineseMod + "\\sn01\\render.json"));
}

TEST_F(RouterTest, GameFolderOutsideGbkIsServedThroughUtf16) {
    TempDir zoe("Zo\xC3\xAB");  // Zoë
    zoe.Write("mods\\Blades\\texture\\hero.dds", "mod");
    ConfigManager& western = Configure(zoe, "Blades");
    router.Configure(FullRouteContext(western));
    const std::shared_ptr<const Resolution> answer = router.Resolve("texture\\hero.dds");
    EXPECT_EQ(answer->from, ServedFrom::Mod);
    EXPECT_EQ(answer->path, zoe / "mods\\Blades\\texture\\hero.dds");
    EXPECT_FALSE(answer->gbkExact);  // only the wide functions can open it
}

TEST_F(RouterTest, BaseAndGameFolderBeingTheSameStringIsListedOnce) {
    // A game folder named base.net with neither base nor mods gets the root
    // entry "base", whose folder is the game folder itself.
    TempDir sameAsBase("base.net");
    ConfigManager& rooted = Configure(sameAsBase, "");
    ASSERT_TRUE(rooted.FullInitialize());
    ASSERT_EQ(rooted.GetBaseFolder(), sameAsBase.Path());
    router.Configure(FullRouteContext(rooted));
    EXPECT_EQ(SearchPaths(), (std::vector<std::string>{sameAsBase.Path()}));
}

TEST_F(RouterTest, ConcurrentFirstResolutionsAndContextChangesGiveConsistentAnswers) {
    game.Write("mods\\Blades\\texture\\m.dds", "mod");
    for (int i = 0; i < 40; ++i) game.Write("base\\texture\\b" + std::to_string(i) + ".dds", "base");
    Start("Blades");
    const RouteContext full = FullRouteContext(*config);
    const std::string modCopy = Utf8ToGbk(game / "mods\\Blades\\texture\\m.dds");
    std::atomic<bool> stop{false};
    std::atomic<int> wrong{0};
    std::vector<std::thread> resolvers;
    for (int t = 0; t < 4; ++t) {
        resolvers.emplace_back([&, t] {
            for (int round = 0; !stop.load(); ++round) {
                // Distinct misses keep inserting while others look up.
                const std::string miss = "x\\" + std::to_string(t) + "_" + std::to_string(round) + ".dds";
                if (router.ResolveFilePath(miss) != miss) ++wrong;
                const std::string name = "texture\\b" + std::to_string((round + t) % 40) + ".dds";
                if (router.ResolveFilePath(name) != Utf8ToGbk(game / ("base\\" + name))) ++wrong;
                const std::string mod = router.ResolveFilePath("texture\\m.dds");
                // Between the rebuilds an early context (no mod) may be current.
                if (mod != modCopy && mod != "texture\\m.dds") ++wrong;
            }
        });
    }
    for (int i = 0; i < 300; ++i) {
        router.Configure(EarlyRouteContext(*config));
        router.Configure(full);
    }
    stop = true;
    for (std::thread& resolver : resolvers) resolver.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(router.ResolveFilePath("texture\\m.dds"), modCopy);
}

TEST_F(RouterTest, EveryAnswerOfManyThreadsResolvingAtOnceIsKept) {
    game.Write("base\\texture\\shared.dds", "base");
    Start("");
    constexpr int kThreads = 8;
    constexpr int kPaths = 1500;
    std::atomic<int> wrong{0};
    std::vector<std::thread> resolvers;
    for (int t = 0; t < kThreads; ++t) {
        resolvers.emplace_back([&, t] {
            for (int i = 0; i < kPaths; ++i) {
                const std::string miss = "x\\" + std::to_string(t) + "\\" + std::to_string(i);
                if (router.ResolveFilePath(miss) != miss) ++wrong;
                if (router.Resolve("texture\\shared.dds")->from != ServedFrom::Base) ++wrong;
            }
        });
    }
    for (std::thread& resolver : resolvers) resolver.join();
    EXPECT_EQ(wrong.load(), 0);
}

TEST(ResolvePathExport, OneBufferPerThreadAndTheSamePointerEveryTime) {
    const char* first = ResolvePath("texture\\a.dds");
    const char* second = ResolvePath("texture\\b.dds");
    EXPECT_EQ(first, second);
    EXPECT_STREQ(second, "texture\\b.dds");
    const char* other = nullptr;
    std::thread([&] { other = ResolvePath("texture\\c.dds"); }).join();
    EXPECT_NE(other, first);
    EXPECT_STREQ(first, "texture\\b.dds");  // the other thread did not overwrite it
    EXPECT_STREQ(ResolvePath(nullptr), "");
}

}  // namespace
