// The mod file index on real mod folders: what a build finds and how it
// spells it, what it costs, which changes make it stale, and that every
// operation waits for the index lock except the ones for mods without an index.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
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

constexpr std::size_t kExistenceTestsPerBuild = 538;
// A time well before the tests run, for file times and the pinned clock.
constexpr std::uint64_t kLongAgo = 1700000000;

void SetWriteTime(const std::string& utf8Path, std::uint64_t unixSeconds) {
    HANDLE handle = CreateFileW(Utf8ToWide(utf8Path).c_str(), FILE_WRITE_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE) << utf8Path;
    const std::uint64_t fileTime = unixSeconds * 10000000ULL + 116444736000000000ULL;
    FILETIME written = {static_cast<DWORD>(fileTime), static_cast<DWORD>(fileTime >> 32)};
    EXPECT_TRUE(SetFileTime(handle, nullptr, nullptr, &written));
    CloseHandle(handle);
    ASSERT_EQ(GetFileTime(utf8Path), unixSeconds);
}

std::set<std::string> EntryNames(const ModFileIndex& index) {
    std::set<std::string> names;
    for (const ModFileIndexEntry& entry : index.entries) names.insert(entry.name);
    return names;
}

// The part of a probed path after the mod folder.
std::string ProbedName(const std::string& modFolder, const CountingProbes::ExistenceTest& test) {
    return test.path.substr(modFolder.size() + 1);
}

TEST(ModFileIndex, ProbesEachListedNameOnceInOrderAndHoldsExactlyTheOnesTheFolderHas) {
    TempDir mod("Blades");
    mod.MakeFolder("texture\\hero");
    mod.MakeFolder("sn01");
    mod.Write("waves.pak", "pack");
    // Near misses: wrong kind, or names the probe list does not hold.
    mod.Write("music", "a file, not a folder");
    mod.MakeFolder("user.cfg");
    for (const char* folder : {"sn00", "sn1", "sn001", "sn256", "textures"}) mod.MakeFolder(folder);
    SetWriteTime(mod / "waves.pak", kLongAgo + 5);

    CountingProbes probes;
    probes.pinnedNow = kLongAgo + 100;
    ModFileIndexTable table(probes);
    const ModFileIndex index = table.GetModFileIndex("Blades", mod.Path()).value();
    EXPECT_EQ(index.buildTime, kLongAgo + 100);
    ASSERT_EQ(index.entries.size(), 3u);
    const std::pair<const char*, bool> found[] = {{"texture", false}, {"sn01", false}, {"waves.pak", true}};
    for (const auto& [name, isFile] : found) {
        const ModFileIndexEntry* entry = index.Find(name);
        ASSERT_NE(entry, nullptr) << name;
        EXPECT_EQ(entry->isFile, isFile) << name;
        EXPECT_EQ(entry->mode, ResourceMode::ModExclusive);
        EXPECT_EQ(entry->fullPath, mod / name);
    }
    EXPECT_EQ(index.Find("waves.pak")->mtime, kLongAgo + 5);
    // One existence test per probed name, one time query per entry found, one clock read.
    EXPECT_EQ(probes.clockReads, 1u);
    EXPECT_EQ(probes.timeQueries, 3u);
    const auto& tests = probes.existenceTests;
    ASSERT_EQ(tests.size(), kExistenceTestsPerBuild);
    std::set<std::string> names;
    for (const auto& test : tests) names.insert(ProbedName(mod.Path(), test));
    EXPECT_EQ(names.size(), kExistenceTestsPerBuild);
    // Resource folders first, then resource files, then each map's folder
    // directly followed by its pack, sn01 to sn255.
    for (std::size_t i = 0; i < 28; ++i) EXPECT_EQ(tests[i].isFile, i >= 20) << i;
    for (int n = 1; n <= 255; ++n) {
        const std::size_t at = 28 + 2 * static_cast<std::size_t>(n - 1);
        const std::string folder = (n < 10 ? "sn0" : "sn") + std::to_string(n);
        EXPECT_EQ(ProbedName(mod.Path(), tests[at]) + (tests[at].isFile ? " file" : ""), folder);
        EXPECT_EQ(ProbedName(mod.Path(), tests[at + 1]) + (tests[at + 1].isFile ? " file" : ""), folder + ".pak file");
    }
    EXPECT_TRUE(table.GetModFileIndex("Other", mod / "missing").value().entries.empty());
}

TEST(ModFileIndex, NamesFoundInAnotherLetterCaseAreStoredAsTheListSpellsThem) {
    TempDir mod("Blades");
    for (const char* folder : {"TEXTURE", "WAVES", "Sn07", "uitexture"}) mod.MakeFolder(folder);
    mod.Write("WAVES.PAK", "");
    mod.Write("tavren.RES", "");
    ModFileIndexTable table;
    ASSERT_TRUE(table.BuildModFileIndex("Blades", mod.Path()));
    const ModFileIndex index = table.GetModFileIndex("Blades", mod.Path()).value();
    // The list probes both Waves and waves, and the folder answers to both.
    const std::set<std::string> expected = {"texture", "Waves", "waves", "sn07", "UITexture", "waves.pak", "Tavren.res"};
    EXPECT_EQ(EntryNames(index), expected);
    EXPECT_EQ(index.Find("UITexture")->fullPath, mod / "UITexture");
}

// Touch sets a time after the build; TouchOlder one after the file's recorded
// time but still before the build, as copying an older pack over it would.
enum class Change { None, Touch, TouchOlder, Delete, AddFolder };

struct CurrencyCase {
    const char* what;
    Change change;
    const char* name;
    bool current;
};

void PrintTo(const CurrencyCase& c, std::ostream* out) { *out << c.what; }

class ModFileIndexCurrency : public ::testing::TestWithParam<CurrencyCase> {};

// A mod whose settings file, four important files and a few others all exist,
// written long ago; after the build one of them changes.
TEST_P(ModFileIndexCurrency, OnlyTheSettingsFileAndImportantFilesCount) {
    const CurrencyCase& c = GetParam();
    TempDir mod("Blades");
    const std::vector<std::string> files = {"Blades.ini", "Tavren.res", "ctexture.pak", "ETexture.pak",
                                            "waves.pak",  "user.cfg",   "ptexture.pak", "sn01.pak"};
    for (const std::string& file : files) mod.Write(file, "x");
    mod.Write("music\\theme.ogg", "x");
    for (const std::string& file : files) SetWriteTime(mod / file, kLongAgo);
    SetWriteTime(mod / "music", kLongAgo);

    CountingProbes probes;
    probes.pinnedNow = kLongAgo + 100;
    ModFileIndexTable table(probes);
    EXPECT_FALSE(table.IsModFileIndexCurrent("Blades", mod.Path()));
    ASSERT_TRUE(table.BuildModFileIndex("Blades", mod.Path()));
    probes.ResetCounts();
    ASSERT_TRUE(table.IsModFileIndexCurrent("Blades", mod.Path()));
    EXPECT_EQ(probes.timeQueries, 5u);
    EXPECT_TRUE(probes.existenceTests.empty());

    switch (c.change) {
        case Change::None: break;
        case Change::Touch: SetWriteTime(mod / c.name, kLongAgo + 200); break;
        case Change::TouchOlder: SetWriteTime(mod / c.name, kLongAgo + 50); break;
        case Change::Delete: ASSERT_TRUE(DeleteFileW(Utf8ToWide(mod / c.name).c_str())) << c.name; break;
        case Change::AddFolder: mod.MakeFolder(c.name); break;
    }
    probes.ResetCounts();
    EXPECT_EQ(table.IsModFileIndexCurrent("Blades", mod.Path()), c.current) << c.what;
    EXPECT_LE(probes.timeQueries, 5u);

    // The accessor rebuilds a stale index (the clock tells the builds apart) and reuses a current one.
    probes.pinnedNow = kLongAgo + 300;
    const std::optional<ModFileIndex> index = table.GetModFileIndex("Blades", mod.Path());
    ASSERT_TRUE(index);
    EXPECT_EQ(index->buildTime, c.current ? kLongAgo + 100 : kLongAgo + 300) << c.what;
    EXPECT_TRUE(table.IsModFileIndexCurrent("Blades", mod.Path()));
}

INSTANTIATE_TEST_SUITE_P(
    Changes, ModFileIndexCurrency,
    ::testing::Values(CurrencyCase{"nothing", Change::None, "", true},
                      CurrencyCase{"settings file saved", Change::Touch, "Blades.ini", false},
                      CurrencyCase{"map index replaced", Change::Touch, "Tavren.res", false},
                      CurrencyCase{"ctexture.pak", Change::Touch, "ctexture.pak", false},
                      CurrencyCase{"ETexture.pak", Change::Touch, "ETexture.pak", false},
                      CurrencyCase{"waves.pak", Change::Touch, "waves.pak", false},
                      CurrencyCase{"waves.pak, older copy", Change::TouchOlder, "waves.pak", false},
                      CurrencyCase{"settings file, older copy", Change::TouchOlder, "Blades.ini", true},
                      CurrencyCase{"music folder", Change::Touch, "music", true},
                      CurrencyCase{"other probed pack", Change::Touch, "ptexture.pak", true},
                      CurrencyCase{"user.cfg", Change::Touch, "user.cfg", true},
                      CurrencyCase{"map folder added", Change::AddFolder, "sn02", true},
                      CurrencyCase{"important file deleted", Change::Delete, "waves.pak", true}));

TEST(ModFileIndex, ASecondBuildReplacesTheFirst) {
    TempDir mod("Blades");
    for (const char* folder : {"texture", "music"}) mod.MakeFolder(folder);
    CountingProbes probes;
    probes.pinnedNow = kLongAgo;
    ModFileIndexTable table(probes);
    ASSERT_TRUE(table.BuildModFileIndex("Blades", mod.Path()));
    TempDir other("Other");
    other.MakeFolder("sfx");
    ASSERT_TRUE(table.BuildModFileIndex("Other", other.Path()));

    ASSERT_TRUE(RemoveDirectoryW(Utf8ToWide(mod / "music").c_str()));
    mod.MakeFolder("sn02");
    probes.pinnedNow = kLongAgo + 1;
    ASSERT_TRUE(table.BuildModFileIndex("Blades", mod.Path()));

    const ModFileIndex blades = table.GetModFileIndex("Blades", mod.Path()).value();
    EXPECT_EQ(blades.buildTime, kLongAgo + 1);
    EXPECT_EQ(EntryNames(blades), (std::set<std::string>{"texture", "sn02"}));
    // Each mod has an index of its own.
    const ModFileIndex otherIndex = table.GetModFileIndex("Other", other.Path()).value();
    EXPECT_EQ(otherIndex.buildTime, kLongAgo);
    EXPECT_EQ(EntryNames(otherIndex), (std::set<std::string>{"SFX"}));
}

// Holds a build inside its first existence test until released.
class BlockingProbes : public CountingProbes {
public:
    bool DirectoryExists(std::string_view utf8Path) override {
        if (!m_blocked) {
            m_blocked = true;
            m_inside.set_value();
            m_release.get_future().wait();
        }
        return CountingProbes::DirectoryExists(utf8Path);
    }
    void WaitUntilInside() { m_inside.get_future().wait(); }
    void Release() {
        if (!m_released.exchange(true)) m_release.set_value();
    }

private:
    bool m_blocked = false;
    std::atomic<bool> m_released{false};
    std::promise<void> m_inside;
    std::promise<void> m_release;
};

TEST(ModFileIndex, EveryOperationWaitsForTheLockButModsWithoutAnIndexDoNot) {
    constexpr auto kLongEnough = std::chrono::seconds(20);
    constexpr auto kShortWhile = std::chrono::milliseconds(300);
    TempDir mod("Blades");
    mod.MakeFolder("texture");
    BlockingProbes probes;
    ModFileIndexTable table(probes);
    auto build = std::async(std::launch::async, [&] { return table.BuildModFileIndex("Blades", mod.Path()); });
    probes.WaitUntilInside();

    for (const char* noIndex : {"", "base"}) {
        auto lookup = std::async(std::launch::async, [&table, noIndex] {
            return table.GetModFileIndex(noIndex, "C:\\nowhere").has_value();
        });
        const bool answered = lookup.wait_for(kLongEnough) == std::future_status::ready;
        if (!answered) probes.Release();  // or the failed test would never end
        ASSERT_TRUE(answered) << "'" << noIndex << "' waited for the lock";
        EXPECT_FALSE(lookup.get());
    }
    auto current = std::async(std::launch::async, [&] { return table.IsModFileIndexCurrent("Blades", mod.Path()); });
    auto get = std::async(std::launch::async, [&] { return table.GetModFileIndex("Blades", mod.Path()); });
    auto rebuild = std::async(std::launch::async, [&] { return table.BuildModFileIndex("Other", mod.Path()); });
    EXPECT_EQ(current.wait_for(kShortWhile), std::future_status::timeout);
    EXPECT_EQ(get.wait_for(std::chrono::milliseconds(0)), std::future_status::timeout);
    EXPECT_EQ(rebuild.wait_for(std::chrono::milliseconds(0)), std::future_status::timeout);

    probes.Release();
    ASSERT_EQ(build.wait_for(kLongEnough), std::future_status::ready);
    ASSERT_EQ(current.wait_for(kLongEnough), std::future_status::ready);
    ASSERT_EQ(get.wait_for(kLongEnough), std::future_status::ready);
    ASSERT_EQ(rebuild.wait_for(kLongEnough), std::future_status::ready);
    EXPECT_TRUE(build.get());
    EXPECT_EQ(EntryNames(get.get().value()), std::set<std::string>{"texture"});
}

}  // namespace
