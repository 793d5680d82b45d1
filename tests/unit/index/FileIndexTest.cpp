// The walked file index on real folders, alone and under the redirector:
// what it answers and leaves to the disk, and how it learns of changes.
#include <gtest/gtest.h>

#include <windows.h>

#include <thread>

#include "common/TextEncoding.h"
#include "index/FileIndex.h"
#include "redirect/ModRouter.h"
#include "redirect/SearchPaths.h"
#include "resources/ModFileIndex.h"
#include "support/TempDir.h"

using namespace modroute;
using testsupport::TempDir;

namespace {

class IndexTest : public ::testing::Test {
protected:
    void SetUp() override {
        game.Write({{"Texture\\Hero.dds", "g"}, {"图片\\角色.dds", "g"}, {"misc\\Ünicode\\x.dds", "g"}, {"misc\\ok.dds", "g"},
                    {"mods\\Blades\\texture\\hero.dds", "m"}, {"mods\\Blades\\texture\\modonly.dds", "m"},
                    {"base\\texture\\baseonly.dds", "b"}, {"base\\texture\\modonly.dds", "b"}});
    }
    void Route(FileIndex& index) {
        context.gameFolder = game.Path();
        context.baseFolder = game / "base";
        context.modFolder = game / "mods\\Blades";
        context.searchPaths = BuildSearchPaths(context.modFolder, true, context.baseFolder, context.gameFolder);
        context.fileIndex = &index;
        router.Configure(context);
    }
    void StartAndWait(FileIndex& index) {
        const std::uint64_t before = index.Generation();
        ASSERT_TRUE(index.Start({game.Path(), game / "base", game / "mods\\Blades"}));
        ASSERT_TRUE(WaitForGeneration(index, before + 3));
    }
    static bool WaitForGeneration(const FileIndex& index, std::uint64_t atLeast) {
        for (int i = 0; i < 1000 && index.Generation() < atLeast; ++i) Sleep(10);
        return index.Generation() >= atLeast;
    }
    ServedFrom From(const std::string& path) { return router.ResolveUtf8(path)->from; }

    TempDir game{"game"};
    RouteContext context;
    ModRouter router;
};

TEST_F(IndexTest, AnswersWhatItModelsExactlyAndLeavesTheRestToTheDisk) {
    const FileTree tree = FileIndex::WalkTree(game.Path(), true, 1000);
    const struct {
        const char* path;
        IndexAnswer answer;
    } rows[] = {
        {"texture\\HERO.DDS", IndexAnswer::File},     {"TEXTURE", IndexAnswer::Folder},
        {"texture\\none.dds", IndexAnswer::Nothing},  {"none\\hero.dds", IndexAnswer::Nothing},
        {"texture\\hero.dds\\x", IndexAnswer::Nothing}, {"图片\\角色.DDS", IndexAnswer::File},
        {"图片\\角色", IndexAnswer::Nothing},          {"misc\\ünicode\\x.dds", IndexAnswer::Unknown},
        {"misc\\OK.dds", IndexAnswer::File},          {"misc\\other.dds", IndexAnswer::Unknown},
        {"ｔexture\\hero.dds", IndexAnswer::Unknown},
        {"texture\\hero.dds.", IndexAnswer::Unknown}, {"texture\\hero.dds ", IndexAnswer::Unknown},
        {"texture\\HERO~1.DDS", IndexAnswer::Unknown}, {"texture\\hero.dds:s", IndexAnswer::Unknown},
        {"..\\game\\texture\\hero.dds", IndexAnswer::Unknown}, {"texture\\nul.dds", IndexAnswer::Unknown},
        {"mods\\Blades\\texture\\hero.dds", IndexAnswer::Unknown}, {"base\\x", IndexAnswer::Unknown},
    };
    for (const auto& row : rows) EXPECT_EQ(tree.Find(row.path), row.answer) << row.path;
    EXPECT_EQ(FileIndex::WalkTree(game.Path(), true, 5).Find("texture\\hero.dds"), IndexAnswer::Unknown);
}

TEST_F(IndexTest, FirstOpensNeedNoDiskCheckOnceWalkedAndOthersChangesAreSeen) {
    FileIndex index;
    StartAndWait(index);
    Route(index);
    const std::uint64_t checks = router.DiskChecks();
    const std::pair<const char*, ServedFrom> rows[] = {
        {"texture\\hero.dds", ServedFrom::GameFolder}, {"texture\\modonly.dds", ServedFrom::Mod},
        {"texture\\baseonly.dds", ServedFrom::Base},   {"texture\\missing.dds", ServedFrom::Nowhere},
    };
    for (const auto& [path, from] : rows) EXPECT_EQ(From(path), from) << path;
    EXPECT_EQ(router.DiskChecks(), checks);

    // Another process adds and deletes files: seen once the notifications are in.
    const std::uint64_t generation = index.Generation();
    game.Write("texture\\baseonly.dds", "g");
    ASSERT_TRUE(DeleteFileW(Utf8ToWide(game / "mods\\Blades\\texture\\modonly.dds").c_str()));
    ASSERT_TRUE(WaitForGeneration(index, generation + 1));
    for (int i = 0; i < 500 && (From("texture\\baseonly.dds") != ServedFrom::GameFolder || From("texture\\modonly.dds") != ServedFrom::Base); ++i) Sleep(10);
    EXPECT_EQ(From("texture\\baseonly.dds"), ServedFrom::GameFolder);
    EXPECT_EQ(From("texture\\modonly.dds"), ServedFrom::Base);

    // What the game changes itself counts at once, notifications or not.
    index.Stop();
    game.Write("texture\\modonly.dds", "g");
    router.ForgetUtf8("texture\\modonly.dds");
    EXPECT_EQ(From("texture\\modonly.dds"), ServedFrom::GameFolder);
    ASSERT_TRUE(DeleteFileW(Utf8ToWide(game / "Texture\\Hero.dds").c_str()));
    router.ForgetUtf8(game / "texture\\hero.dds");
    EXPECT_EQ(From("texture\\hero.dds"), ServedFrom::Mod);
}

TEST_F(IndexTest, AnOverflowedNotificationBufferListsTheTreeAgain) {
    FileIndex index(FileIndex::Options{1000000, 512, 8});
    StartAndWait(index);
    Route(index);
    EXPECT_EQ(From("texture\\late.dds"), ServedFrom::Nowhere);
    const std::uint64_t generation = index.Generation();
    game.Write("mods\\Blades\\texture\\late.dds", "m");
    ASSERT_TRUE(WaitForGeneration(index, generation + 1));
    EXPECT_EQ(From("texture\\late.dds"), ServedFrom::Mod);
}

TEST_F(IndexTest, EightThreadsOpeningWhileTheTreesAreWalkedGetTheDisksAnswers) {
    constexpr int kFiles = 600;
    for (int i = 0; i < kFiles; ++i) game.Write("mods\\Blades\\m" + std::to_string(i % 20) + "\\" + std::to_string(i) + ".dds", "m");
    FileIndex index;
    Route(index);
    ASSERT_TRUE(index.Start({game.Path(), game / "base", game / "mods\\Blades"}));
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            for (int i = t; i < kFiles; i += 8) {
                wrong += From("m" + std::to_string(i % 20) + "\\" + std::to_string(i) + ".dds") != ServedFrom::Mod;
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(wrong, 0);
}

TEST_F(IndexTest, TheModsResourceProbesAreAnsweredFromTheWalk) {
    game.Write({{"mods\\Blades\\SN01\\a.wp", "m"}, {"mods\\Blades\\waves.pak", "m"}, {"mods\\Blades\\music", "m"}});
    FileIndex::Instance().Start({game.Path(), game / "base", game / "mods\\Blades"});
    ModFileIndexTable table;
    const std::optional<ModFileIndex> index = table.GetModFileIndex("Blades", game / "mods\\Blades");
    FileIndex::Instance().Stop();
    ASSERT_TRUE(index);
    std::string names;
    for (const ModFileIndexEntry& entry : index->entries) names += entry.name + (entry.isFile ? "=file " : " ");
    EXPECT_EQ(names, "texture waves.pak=file sn01 ");
}

}  // namespace
