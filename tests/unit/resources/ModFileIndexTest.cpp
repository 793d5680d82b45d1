// The mod file index on real mod folders: what a build finds and how it
// spells it, which changes make it stale, and that every operation waits for
// the index lock except the ones for mods without an index.
#include <gtest/gtest.h>

#include <windows.h>

#include <future>
#include <set>

#include "common/FileSystem.h"
#include "common/TextEncoding.h"
#include "resources/ModFileIndex.h"
#include "support/CountingProbes.h"
#include "support/TempDir.h"

using namespace modroute;
using testsupport::CountingProbes;
using testsupport::TempDir;

namespace {

constexpr std::uint64_t kLongAgo = 1700000000;

void SetWriteTime(const std::string& utf8Path, std::uint64_t unixSeconds) {
    HANDLE handle = CreateFileW(Utf8ToWide(utf8Path).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    const std::uint64_t fileTime = unixSeconds * 10000000ULL + 116444736000000000ULL;
    FILETIME written = {static_cast<DWORD>(fileTime), static_cast<DWORD>(fileTime >> 32)};
    EXPECT_TRUE(SetFileTime(handle, nullptr, nullptr, &written)) << utf8Path;
    CloseHandle(handle);
}

std::set<std::string> EntryNames(const ModFileIndex& index) {
    std::set<std::string> names;
    for (const ModFileIndexEntry& entry : index.entries) names.insert(entry.name + (entry.isFile ? " file" : ""));
    return names;
}

TEST(ModFileIndex, HoldsTheListedNamesTheFolderHasSpelledAsTheListSpellsThem) {
    TempDir mod("Blades");
    for (const char* folder : {"TEXTURE", "Sn07", "uitexture", "user.cfg", "sn256", "sn1", "textures"}) {
        mod.MakeFolder(folder);
    }
    mod.Write("waves.PAK", "pack");
    mod.Write("music", "a file, not a folder");
    SetWriteTime(mod / "waves.pak", kLongAgo + 5);
    CountingProbes probes;
    probes.pinnedNow = kLongAgo + 100;
    ModFileIndexTable table(probes);
    const ModFileIndex index = table.GetModFileIndex("Blades", mod.Path()).value();
    EXPECT_EQ(index.buildTime, kLongAgo + 100);
    EXPECT_EQ(EntryNames(index), (std::set<std::string>{"texture", "sn07", "UITexture", "waves.pak file"}));
    EXPECT_EQ(index.Find("UITexture")->fullPath, mod / "UITexture");
    EXPECT_EQ(index.Find("waves.pak")->mtime, kLongAgo + 5);
    EXPECT_EQ(index.Find("sn07")->mode, ResourceMode::ModExclusive);
    EXPECT_TRUE(table.GetModFileIndex("Other", mod / "missing").value().entries.empty());
}

TEST(ModFileIndex, OnlyTheSettingsFileAndImportantPacksMakeItStale) {
    TempDir mod("Blades");
    for (const char* file : {"Blades.ini", "ETexture.pak", "waves.pak", "ptexture.pak"}) {
        mod.Write(file, "x");
        SetWriteTime(mod / file, kLongAgo);
    }
    CountingProbes probes;
    ModFileIndexTable table(probes);
    EXPECT_FALSE(table.IsModFileIndexCurrent("Blades", mod.Path()));
    // A later time is a save; an earlier one (still after the recorded one)
    // is an older copy put in place.
    const struct {
        const char* name;
        bool later, current;
    } cases[] = {
        {"Blades.ini", true, false}, {"Blades.ini", false, true}, {"ETexture.pak", true, false},
        {"waves.pak", false, false}, {"ptexture.pak", true, true}, {"", false, true},
    };
    std::uint64_t build = kLongAgo + 100;
    for (const auto& c : cases) {
        probes.pinnedNow = build;
        ASSERT_TRUE(table.BuildModFileIndex("Blades", mod.Path()));
        ASSERT_TRUE(table.IsModFileIndexCurrent("Blades", mod.Path()));
        if (*c.name) SetWriteTime(mod / c.name, c.later ? build + 50 : build - 50);
        EXPECT_EQ(table.IsModFileIndexCurrent("Blades", mod.Path()), c.current) << c.name << c.later;
        // The accessor rebuilds a stale index (the clock tells the builds apart) and reuses a current one.
        probes.pinnedNow = build + 60;
        EXPECT_EQ(table.GetModFileIndex("Blades", mod.Path())->buildTime, c.current ? build : build + 60) << c.name;
        build += 1000;
    }
    ASSERT_TRUE(DeleteFileW(Utf8ToWide(mod / "waves.pak").c_str()));
    EXPECT_TRUE(table.IsModFileIndexCurrent("Blades", mod.Path()));
}

// Holds a build inside its first existence test until released.
class BlockingProbes : public CountingProbes {
public:
    bool DirectoryExists(std::string_view utf8Path) override {
        if (!std::exchange(m_blocked, true)) {
            inside.set_value();
            release.wait();
        }
        return CountingProbes::DirectoryExists(utf8Path);
    }
    bool m_blocked = false;
    std::promise<void> inside, released;
    std::shared_future<void> release = released.get_future().share();
};

TEST(ModFileIndex, EveryOperationWaitsForTheLockButModsWithoutAnIndexDoNot) {
    constexpr auto kLongEnough = std::chrono::seconds(20);
    TempDir mod("Blades");
    mod.MakeFolder("texture");
    BlockingProbes probes;
    ModFileIndexTable table(probes);
    auto build = std::async(std::launch::async, [&] { return table.BuildModFileIndex("Blades", mod.Path()); });
    probes.inside.get_future().wait();
    for (const char* noIndex : {"", "base"}) {
        auto lookup = std::async(std::launch::async, [&table, noIndex] { return table.GetModFileIndex(noIndex, "C:\\x"); });
        const bool answered = lookup.wait_for(kLongEnough) == std::future_status::ready;
        if (!answered) probes.released.set_value();  // or the failed test would never end
        ASSERT_TRUE(answered) << "'" << noIndex << "' waited for the lock";
        EXPECT_FALSE(lookup.get());
    }
    auto current = std::async(std::launch::async, [&] { return table.IsModFileIndexCurrent("Blades", mod.Path()); });
    auto get = std::async(std::launch::async, [&] { return table.GetModFileIndex("Blades", mod.Path()); });
    auto rebuild = std::async(std::launch::async, [&] { return table.BuildModFileIndex("Other", mod.Path()); });
    EXPECT_EQ(current.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout);
    EXPECT_EQ(get.wait_for(std::chrono::milliseconds(0)), std::future_status::timeout);
    EXPECT_EQ(rebuild.wait_for(std::chrono::milliseconds(0)), std::future_status::timeout);
    probes.released.set_value();
    EXPECT_TRUE(build.get() && rebuild.get() && current.get());
    EXPECT_EQ(EntryNames(get.get().value()), std::set<std::string>{"texture"});
}

}  // namespace
