// The mod file index on real mod folders: what a build finds and how it
// spells it, and which changes make it stale.
#include <gtest/gtest.h>

#include <windows.h>

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
    for (const char* folder : {"TEXTURE", "sn10", "uitexture", "user.cfg", "sn256", "textures"}) mod.MakeFolder(folder);
    mod.Write({{"waves.PAK", "pack"}, {"music", "a file, not a folder"}});
    ModFileIndexTable table;
    const ModFileIndex index = table.GetModFileIndex("Blades", mod.Path()).value();
    EXPECT_EQ(EntryNames(index), (std::set<std::string>{"texture", "sn10", "UITexture", "waves.pak file"}));
    EXPECT_EQ(index.Find("UITexture")->fullPath, mod / "UITexture");
}

TEST(ModFileIndex, OnlyTheSettingsFileAndImportantPacksMakeItStale) {
    TempDir mod("Blades");
    for (const char* file : {"Blades.ini", "waves.pak", "ptexture.pak"}) mod.Write(file, "x"), SetWriteTime(mod / file, kLongAgo);
    CountingProbes probes;
    ModFileIndexTable table(probes);
    // A later time is a save; an earlier one (still after the recorded one) is an older copy put in place.
    const std::tuple<const char*, int, bool> cases[] = {
        {"Blades.ini", 50, false}, {"Blades.ini", -50, true}, {"waves.pak", -50, false}, {"ptexture.pak", 50, true}};
    std::uint64_t build = kLongAgo + 100;
    for (const auto& [name, shift, current] : cases) {
        probes.pinnedNow = build;
        ASSERT_TRUE(table.BuildModFileIndex("Blades", mod.Path()));
        SetWriteTime(mod / name, build + shift);
        EXPECT_EQ(table.IsModFileIndexCurrent("Blades", mod.Path()), current) << name << shift;
        // The accessor rebuilds a stale index (the clock tells the builds apart) and reuses a current one.
        probes.pinnedNow = build + 60;
        EXPECT_EQ(table.GetModFileIndex("Blades", mod.Path())->buildTime, current ? build : build + 60) << name;
        build += 1000;
    }
}

}  // namespace
