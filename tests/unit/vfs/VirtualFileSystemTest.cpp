// The virtual file system on real pack files.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <mutex>
#include <set>
#include <thread>

#include "PackBytes.h"
#include "common/TextEncoding.h"
#include "support/TempDir.h"
#include "vfs/VirtualFileSystem.h"
#include "vfs/VirtualHandleTable.h"

using namespace modroute;
using packbytes::File;
using testsupport::TempDir;

namespace {

constexpr std::uint64_t kMiB = 1024 * 1024;

template <typename Work>
auto WithLock(std::mutex& lock, Work work) {
    const std::lock_guard guard(lock);
    return work();
}

// A larger file without more data: the tail is never read, so a sparse one will do.
void WritePack(const TempDir& dir, const std::string& name, const std::vector<PvkPackEntry>& entries,
               std::uint64_t fileSize = 0) {
    dir.Write(name, packbytes::MakePack(entries));
    if (fileSize == 0) return;
    HANDLE file = CreateFileW(Utf8ToWide(dir / name).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(fileSize);
    SetFilePointerEx(file, end, nullptr, FILE_BEGIN);
    SetEndOfFile(file);
    CloseHandle(file);
}

std::string Read(VirtualFileSystem& files, const std::string& path) {
    const std::optional<VirtualFileData> data = files.ReadVirtualFile(path);
    return data ? std::string(reinterpret_cast<const char*>(data->bytes->data()) + data->offset, data->size) : "<none>";
}

std::string List(const VirtualFileSystem& files, const std::string& folder) {
    std::string names;
    for (const VirtualDirectoryTree::Listed& entry : files.List(folder)) {
        names += entry.path + (entry.isDirectory ? "/" : "") + ":" + std::to_string(entry.size) + " ";
    }
    return names;
}

// Levels 0 to 2 are checked in the stand-in game; a system pack loads at any size.
TEST(VirtualFileSystem, PreloadOfLevelThreeAndASecondInitializeLoadsNothing) {
    TempDir mod("mod");
    WritePack(mod, "large.pvk", {File("large.txt", "", "l")}, 120 * kMiB);
    VirtualFileSystem files;
    ASSERT_TRUE(files.Initialize({-1, mod.Path(), ""}));
    EXPECT_TRUE(files.Initialize({3, mod.Path(), ""}));
    EXPECT_FALSE(files.HasFile("large\\large.txt"));
    VirtualFileSystem three;
    ASSERT_TRUE(three.Initialize({3, mod.Path(), ""}));
    EXPECT_TRUE(three.HasFile("large\\large.txt"));
}

TEST(VirtualFileSystem, LookupsAndSearchesOverPreloadedPacksAndAnArchive) {
    TempDir mod("mod");
    WritePack(mod, "data.pvk", {File("sn05.wp", "sn05", "in the map folder"), File("empty.txt", "x", ""), File("a", "maps", "1")});
    WritePack(mod, "maps.pvk", {File("a.wp", "maps", "1"), File("b.wp", "maps\\sub", "22"), File("a", "maps", "later")});
    WritePack(mod, "big.pvk", {File("huge.bin", "big", std::string(3 * kMiB, 'x'))}, 60 * kMiB);
    VirtualFileSystem files;
    ASSERT_TRUE(files.Initialize({1, mod.Path(), ""}));
    EXPECT_EQ(files.MakeVfsPath("Maps//A.WP"), "[VFS]Maps\\A.WP");
    EXPECT_EQ(Read(files, "sn05.wp"), "in the map folder");  // retried as sn05\sn05.wp
    EXPECT_EQ(Read(files, "sn06.wp"), "<none>");             // no endless retry of sn06\sn06.wp
    EXPECT_EQ(Read(files, "x\\empty.txt"), "");              // an empty file is still a file
    EXPECT_EQ(Read(files, "maps\\a"), "later");              // a later pack replaces a file
    EXPECT_EQ(List(files, "MAPS"), "MAPS\\a:5 MAPS\\a.wp:1 MAPS\\sub/:0 ");
    ASSERT_TRUE(files.LoadPvkIndex(mod / "big.pvk"));
    EXPECT_EQ(List(files, "big"), "big\\huge.bin:" + std::to_string(3 * kMiB) + " ");  // sizes from the index
}

TEST(VirtualFileSystem, ArchivesRankWithTheirFolderAndCountAsChangesOnlyWhenTheyAddSomething) {
    TempDir game("game");
    WritePack(game, "mods\\M\\preloaded.pvk", {File("a.txt", "t", "preloaded a")});
    WritePack(game, "mods\\M\\big.pvk", {File("b.txt", "t", "mod b")}, 60 * kMiB);  // above the level 1 limit
    WritePack(game, "base\\base.pvk", {File("b.txt", "t", "base b"), File("c.txt", "t", "base c")});
    VirtualFileSystem files;
    ASSERT_TRUE(files.Initialize({1, game / "mods\\M", game / "base"}));
    for (const auto& [pack, changes] : {std::pair{"base\\base.pvk", true}, {"mods\\M\\big.pvk", true}, {"mods\\M\\preloaded.pvk", false}}) {
        const std::uint64_t generation = files.Generation();
        EXPECT_TRUE(files.LoadPvkIndex(game / pack));
        EXPECT_EQ(files.Generation() != generation, changes) << pack;
    }
    EXPECT_EQ(files.RankOf("t\\c.txt"), VirtualRank::WithBaseFolder);
    EXPECT_EQ(files.RankOf("T\\b.txt"), VirtualRank::First);
    EXPECT_EQ(Read(files, "T\\B.TXT"), "mod b");  // the mod's archive ranks first
    // The pack each read comes from: a preloaded file's own, else the best-ranked archive.
    EXPECT_EQ(files.PackOf("t\\a.txt"), game / "mods\\M\\preloaded.pvk");
    EXPECT_EQ(files.PackOf("T\\B.TXT"), game / "mods\\M\\big.pvk");
    // Registered again with a file fewer: that file is no longer the packs' to give.
    const std::wstring base = Utf8ToWide(game / "base\\base.pvk");
    ASSERT_TRUE(MoveFileW(base.c_str(), (base + L".old").c_str()));  // the archive holds it open
    WritePack(game, "base\\base.pvk", {File("b.txt", "t", "base b")});
    const std::uint64_t generation = files.Generation();
    ASSERT_TRUE(files.LoadPvkIndex(game / "base\\base.pvk"));
    EXPECT_NE(files.Generation(), generation);
    EXPECT_EQ(files.RankOf("t\\c.txt"), VirtualRank::None);
}

// A pack read on demand and replaced while the game runs (renamed away, and
// a new one moved in under its name) is read as it was indexed.
TEST(VirtualFileSystem, AnArchiveReplacedWhileInUseIsReadAsIndexed) {
    TempDir mod("mod");
    WritePack(mod, "big.pvk", {File("a.txt", "t", "old a"), File("b.txt", "t", "old b")}, 60 * kMiB);
    VirtualFileSystem files;
    ASSERT_TRUE(files.Initialize({1, mod.Path(), ""}));
    ASSERT_TRUE(files.LoadPvkIndex(mod / "big.pvk"));
    WritePack(mod, "new.pvk", {File("z.txt", "t", std::string(40, 'z')), File("b.txt", "t", "new b"), File("a.txt", "t", "new a")});
    const std::wstring old = Utf8ToWide(mod / "big.pvk"), replacement = Utf8ToWide(mod / "new.pvk");
    ASSERT_TRUE(MoveFileW(old.c_str(), (old + L".old").c_str()));
    ASSERT_TRUE(MoveFileW(replacement.c_str(), old.c_str()));
    EXPECT_EQ(Read(files, "t\\b.txt"), "old b");
    EXPECT_EQ(Read(files, "t\\a.txt"), "old a");
}

// 学 in code page 936 (D1 A7) is valid UTF-8 too: found by either reading, listed as 学.
TEST(VirtualFileSystem, NamesThatReadAsUtf8AndGbkAreFoundByBothListedAsGbk) {
    TempDir mod("mod");
    WritePack(mod, "small.pvk", {File("\xD1\xA7.txt", "s", "small")});
    WritePack(mod, "big.pvk", {File("\xD1\xA7.txt", "b", "big")}, 60 * kMiB);
    VirtualFileSystem files;
    ASSERT_TRUE(files.Initialize({1, mod.Path(), ""}));
    ASSERT_TRUE(files.LoadPvkIndex(mod / "big.pvk"));
    for (const char* folder : {"s", "b"}) {
        EXPECT_EQ(Read(files, folder + std::string("\\\xE5\xAD\xA6.txt")), Read(files, folder + std::string("\\\xD1\xA7.txt")));
        EXPECT_EQ(List(files, folder), folder + std::string("\\\xE5\xAD\xA6.txt:") + (*folder == 's' ? "5 " : "3 "));
    }
    EXPECT_EQ(Read(files, "B\\\xE5\xAD\xA6.TXT"), "big");
}

}  // namespace

// Eight threads taking and giving back reserved handle values at once: no
// value is ever held by two of them.
TEST(ReservedHandlePool, NoValueIsHeldByTwoThreads) {
    std::mutex lock;
    std::set<HANDLE> inUse;
    std::atomic<int> ready{0}, twice{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&] {
            for (++ready; ready < 8;) std::this_thread::yield();
            for (int i = 0; i < 200000; ++i) {
                HANDLE value = ReservedHandlePool::Instance().Acquire();
                if (!WithLock(lock, [&] { return inUse.insert(value).second; })) ++twice;
                WithLock(lock, [&] { return inUse.erase(value); });
                ReservedHandlePool::Instance().Release(value);
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(twice.load(), 0);
}
