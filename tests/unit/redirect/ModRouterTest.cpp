// Resolution against real temporary game folders.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <thread>

#include "common/StartupGate.h"
#include "common/TextEncoding.h"
#include "config/ConfigManager.h"
#include "redirect/ModRouter.h"
#include "startup/RouterSetup.h"
#include "support/RegistrySandbox.h"
#include "support/TempDir.h"

using namespace modroute;
using testsupport::TempDir;

namespace {

// A virtual file system with a set of files, as the redirector sees it.
class FakeVirtualFiles final : public VirtualFileLookup {
public:
    VirtualRank RankOf(std::string_view path) const override {
        const auto found = files.find(std::string(path));
        return found == files.end() ? VirtualRank::None : found->second;
    }
    // Runs onRead inside the readsUntilHook-th read of the generation from now on.
    std::uint64_t Generation() const override {
        if (readsUntilHook > 0 && --readsUntilHook == 0) onRead();
        return files.size();
    }
    std::map<std::string, VirtualRank> files;  // changed only while no resolver runs
    mutable int readsUntilHook = 0;
    std::function<void()> onRead;
};

class RouterTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(registry.Active()); }
    // The folder's configuration read as at start-up, with the mod (UTF-8)
    // selected in a ModRoute.ini saved as UTF-8 with a byte-order mark.
    ConfigManager& Configure(const TempDir& folder, const std::string& selectedMod, bool autoRes = false) {
        folder.Write("ModRoute.ini", "\xEF\xBB\xBF[Settings]\r\nSelectedMod=" + selectedMod + "\r\n");
        if (autoRes) registry.SetDword(L"", L"AutoRes", 1);
        config = std::make_unique<ConfigManager>(folder.Path());
        config->EarlyInitialize();
        return *config;
    }
    void Start(const std::string& selectedMod, bool withPacks = false) {
        RouteContext context = FullRouteContext(Configure(game, selectedMod));
        if (withPacks) context.virtualFiles = &packs;
        router.Configure(context);
    }
    std::string Resolve(const std::string& utf8Path) { return GbkToUtf8(router.ResolveFilePath(Utf8ToGbk(utf8Path))); }
    ServedFrom From(const std::string& utf8Path) { return router.ResolveUtf8(utf8Path)->from; }
    bool Redirects(const std::string& utf8Path) { return router.ShouldRedirect(Utf8ToGbk(utf8Path)); }
    std::string SearchPaths() {
        std::string paths;
        for (const SearchPath& entry : router.Context()->searchPaths) paths += entry.path + " ";
        return paths;
    }

    testsupport::RegistrySandbox registry;
    TempDir game{"game"};
    std::unique_ptr<ConfigManager> config;
    FakeVirtualFiles packs;
    ModRouter router;
};

TEST_F(RouterTest, EachFolderServesWhatItHoldsInItsTurn) {
    game.Write({{"texture\\both.dds", "game"}, {"mods\\Blades\\texture\\both.dds", "mod"},
                {"mods\\Blades\\texture\\modonly.dds", "mod"}, {"base\\texture\\modonly.dds", "base"},
                {"base\\texture\\baseonly.dds", "base"}, {"maps\\sn01\\sn01.wp", "game"},
                {"base\\maps\\sn01\\sn01.wp", "base"}});
    game.MakeFolder("mods\\Base");
    Start("Base");  // another letter case than base is a real mod
    EXPECT_EQ(SearchPaths(), game / "mods\\Base " + game / "base " + game.Path() + " ");
    router.Configure(EarlyRouteContext(*config));  // the mod is known at attach
    EXPECT_EQ(SearchPaths(), game / "mods\\Base " + game / "base " + game.Path() + " ");
    Start("Blades");
    const struct {
        std::string request;
        ServedFrom from;
        std::string path;  // what the export gives
    } cases[] = {
        {"texture\\both.dds", ServedFrom::GameFolder, game / "texture\\both.dds"},
        {"texture/modonly.dds", ServedFrom::Mod, game / "mods\\Blades\\texture\\modonly.dds"},
        {".\\texture\\baseonly.dds", ServedFrom::Base, game / "base\\texture\\baseonly.dds"},
        {"maps\\sn01\\sn01.wp", ServedFrom::Base, game / "base\\maps\\sn01\\sn01.wp"},  // map files prefer base
        {"\\texture//nowhere.dds", ServedFrom::Nowhere, "texture\\nowhere.dds"},
        {"\\\\server\\share\\a.txt", ServedFrom::Unchanged, "\\\\server\\share\\a.txt"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(From(c.request), c.from) << c.request;
        EXPECT_EQ(Resolve(c.request), c.path) << c.request;
    }
    EXPECT_TRUE(Redirects("maps\\sn01\\sn01.wp"));  // agrees with the resolution
    EXPECT_FALSE(Redirects("texture\\none.dds"));
    EXPECT_FALSE(Redirects("server.cfg"));  // a root file, even where the game folder lacks it
    const std::string invalid = "texture\\\x81";  // not GBK text: comes back as it was, not as '?'
    EXPECT_EQ(router.ResolveFilePath(invalid), invalid);
    Start("");  // without a mod: any path under a base resource folder, its case exact
    EXPECT_TRUE(Redirects("texture\\none.dds"));
    EXPECT_FALSE(Redirects("Texture\\none.dds"));
}

TEST_F(RouterTest, MapIdsAreRewrittenOnlyWithAutoResAndAFilledMapAndRenderJsonFollowsThem) {
    game.Write({{"mods\\Blades\\Dune\\Dune.wp", "mod"}, {"base\\sn01\\sn01.wp", "base"},
                {"base\\sn03\\render.json", "base"}, {"sn03\\render.json", "game"},
                {"mods\\Blades\\sn04\\render.json", "mod"}, {"base\\sn04\\render.json", "base"}});
    const SnDirectoryMap map(SnDirectoryMap::Entries{{"SN01", "Dune"}});
    for (const bool autoRes : {false, true}) {
        Configure(game, "Blades", autoRes);
        router.Configure(FullRouteContext(*config));
        EXPECT_EQ(Resolve("sn01\\sn01.wp"), game / "base\\sn01\\sn01.wp");  // AutoRes off, or the map still empty
        // a new map table: answers start over
        router.Configure(FullRouteContext(*config, std::make_shared<const SnDirectoryMap>(map)));
        EXPECT_EQ(Resolve("sn01\\sn01.wp"), autoRes ? game / "mods\\Blades\\Dune\\Dune.wp" : game / "base\\sn01\\sn01.wp");
    }
    // render.json: under the map folder of the mod, then base, then the game.
    EXPECT_EQ(Resolve("maps\\sn03\\render.json"), game / "base\\sn03\\render.json");
    EXPECT_EQ(Resolve("maps\\sn04\\render.json"), game / "mods\\Blades\\sn04\\render.json");
    EXPECT_EQ(Resolve("maps//sn09\\render.json"), "maps//sn09\\render.json");  // nowhere: the caller's own path
}

// Answers given stay when the disk changes behind the game's back; answers of
// the early context go with it.
TEST_F(RouterTest, FirstAnswersStayAndTheEarlyContextsGoWithIt) {
    game.Write({{"base\\texture\\a.dds", "base"}, {"mods\\Blades\\texture\\hero.dds", "mod"}});
    Configure(game, "Blades");
    RouteContext early = EarlyRouteContext(*config);
    early.searchPaths.erase(early.searchPaths.begin());  // without the mod
    router.Configure(early);
    EXPECT_EQ(From("texture\\hero.dds"), ServedFrom::Nowhere);
    router.Configure(FullRouteContext(*config));
    EXPECT_EQ(From("texture\\hero.dds"), ServedFrom::Mod);
    EXPECT_EQ(Resolve("texture\\a.dds"), game / "base\\texture\\a.dds");
    EXPECT_EQ(Resolve("texture\\new.dds"), "texture\\new.dds");
    game.Write({{"texture\\a.dds", "game"}, {"base\\texture\\new.dds", "base"}});
    router.Configure(FullRouteContext(*config));  // the same context again keeps the answers
    EXPECT_EQ(Resolve("texture\\a.dds"), game / "base\\texture\\a.dds");
    EXPECT_EQ(Resolve("texture\\new.dds"), "texture\\new.dds");
}

// An answer given before the start-up work it depends on has finished (on a
// start-up thread, or under the loader lock) is not kept for later callers.
TEST_F(RouterTest, AnAnswerGivenBeforeThePacksAreInIsNotKept) {
    game.Write({{"base\\texture\\a.dds", "base"}});
    packs.files["texture\\a.dds"] = VirtualRank::None;  // listed already: the generation stays when it comes
    Start("", true);
    StartupGate& gate = StartupGate::Instance();
    gate.Expect(StartupWork::Packs);
    gate.EnterStartupThread();  // never waits: gets the answer there is
    EXPECT_EQ(From("texture\\a.dds"), ServedFrom::Base);
    gate.LeaveStartupThread();
    packs.files["texture\\a.dds"] = VirtualRank::First;
    gate.Finish(StartupWork::Packs);
    EXPECT_EQ(From("texture\\a.dds"), ServedFrom::Virtual);
}

TEST_F(RouterTest, PacksRankByWhereTheyComeFromAndTheDisksAnswerLooksPastThem) {
    game.Write({{"mods\\Blades\\texture\\modcopy.dds", "mod"}, {"base\\texture\\basecopy.dds", "base"},
                {"texture\\gamecopy.dds", "game"}, {"texture\\modpack.dds", "game"}});
    for (const char* path : {"texture\\modcopy.dds", "texture\\basecopy.dds", "texture\\gamecopy.dds"}) {
        packs.files[path] = VirtualRank::WithBaseFolder;
    }
    packs.files["texture\\modpack.dds"] = VirtualRank::First;
    Start("Blades", true);
    EXPECT_EQ(From("texture\\modcopy.dds"), ServedFrom::Mod);  // the mod's file beats a base pack
    EXPECT_EQ(From("texture\\gamecopy.dds"), ServedFrom::GameFolder);
    EXPECT_EQ(From("texture\\basecopy.dds"), ServedFrom::Virtual);  // a base pack beats base's loose file
    EXPECT_EQ(Resolve("texture/modpack.dds"), "[VFS]texture\\modpack.dds");  // even before the game folder
    EXPECT_EQ(router.ResolveOnDisk("texture\\basecopy.dds")->path, game / "base\\texture\\basecopy.dds");
    EXPECT_EQ(From("texture\\basecopy.dds"), ServedFrom::Virtual);  // asking the disk changes no answer
    // A pack arrives: answers start over, and a context published while a
    // reader starts over stands.
    packs.files["texture\\modcopy.dds"] = VirtualRank::First;
    packs.files["ui\\button.dds"] = VirtualRank::First;
    RouteContext early = EarlyRouteContext(*config);
    early.modFolder.clear();
    early.virtualFiles = &packs;
    packs.readsUntilHook = 2;
    packs.onRead = [&] { router.Configure(early); };
    EXPECT_EQ(From("texture\\modcopy.dds"), ServedFrom::Virtual);
    EXPECT_EQ(router.Context()->modFolder, early.modFolder);
}

TEST_F(RouterTest, GameFolderOfTrailBytesAndBaseBeingTheGameFolder) {
    const std::string mod = "\xE6\xB5\x8B\xE8\xAF\x95";  // 测试
    TempDir sincere("\xE5\xA1\x94\xE6\x96\x87\xE8\xAA\xA0");  // 塔文誠: 誠 is D5 5C in GBK
    sincere.Write("mods\\" + mod + "\\texture\\hero.dds", "mod");
    sincere.Write("base\\music\\theme.ogg", "base");
    ASSERT_TRUE(Configure(sincere, mod).FullInitialize());
    router.Configure(FullRouteContext(*config));
    EXPECT_EQ(Resolve("texture\\hero.dds"), sincere / ("mods\\" + mod + "\\texture\\hero.dds"));
    EXPECT_EQ(Resolve("music\\theme.ogg"), sincere / "base\\music\\theme.ogg");

    // base.net with neither base nor mods is the root entry "base", its folder the game's.
    TempDir sameAsBase("base.net");
    ASSERT_TRUE(Configure(sameAsBase, "").FullInitialize());
    router.Configure(FullRouteContext(*config));
    EXPECT_EQ(SearchPaths(), sameAsBase.Path() + " ");
}

TEST_F(RouterTest, ConcurrentResolutionsKeepEveryAnswerAndSeeWholeContexts) {
    game.Write({{"mods\\Blades\\texture\\m.dds", "mod"}, {"base\\texture\\b.dds", "base"}});
    Start("Blades");
    const RouteContext full = FullRouteContext(*config);
    const std::string modCopy = Utf8ToGbk(game / "mods\\Blades\\texture\\m.dds");
    std::atomic<bool> stop{false};
    std::atomic<int> wrong{0};
    std::vector<std::thread> resolvers;
    for (int t = 0; t < 4; ++t) {
        resolvers.emplace_back([&, t] {
            for (int round = 0; !stop; ++round) {
                // Distinct misses keep inserting while others look up.
                const std::string miss = "x\\" + std::to_string(t) + "_" + std::to_string(round) + ".dds";
                if (router.ResolveFilePath(miss) != miss) ++wrong;
                if (router.Resolve("texture\\b.dds")->from != ServedFrom::Base) ++wrong;
                const std::string mod = router.ResolveFilePath("texture\\m.dds");
                if (mod != modCopy && mod != "texture\\m.dds") ++wrong;
            }
        });
    }
    RouteContext bare = full;
    bare.searchPaths.erase(bare.searchPaths.begin());  // an early context had no mod
    for (int i = 0; i < 300; ++i) router.Configure(bare), router.Configure(full);
    stop = true;
    for (std::thread& resolver : resolvers) resolver.join();
    EXPECT_EQ(wrong.load(), 0);
    std::atomic<int> ready{0};
    std::vector<std::thread> again;
    for (int t = 0; t < 8; ++t) {
        again.emplace_back([&, t] {
            for (++ready; ready < 8;) std::this_thread::yield();
            for (int i = 0; i < 1500; ++i) router.Resolve("z\\" + std::to_string(t * 1500 + i));
        });
    }
    for (std::thread& thread : again) thread.join();
    // Every first answer of threads resolving at once was kept: a file appearing later changes none.
    for (int i = 0; i < 12000; i += 15) game.Write("base\\z\\" + std::to_string(i), "late");
    for (int i = 0; i < 12000; i += 15) EXPECT_EQ(From("z\\" + std::to_string(i)), ServedFrom::Nowhere) << i;
}

}  // namespace
