#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include "common/FileSystem.h"
#include "common/Published.h"
#include "common/SystemScope.h"
#include "common/TextEncoding.h"
#include "support/TempDir.h"

using namespace modroute;
using testsupport::TempDir;

// Zoë has no GBK form (reachable only through UTF-16); 誠 ends in the byte 0x5C in GBK.
TEST(FileSystem, FoldersOfAnyScriptAreReachable) {
    for (const std::string leaf : {"Zo\xC3\xAB", "\xE5\xA1\x94\xE8\xAA\xA0"}) {
        TempDir dir(leaf);
        dir.Write("b.PVK", "2");
        dir.MakeFolder("d.pvk");
        EXPECT_TRUE(FileExists(dir / "b.PVK") && !FileExists(dir / "d.pvk")) << leaf;
        EXPECT_TRUE(DirectoryExists(dir / "d.pvk") && !DirectoryExists(dir / "b.PVK")) << leaf;
        EXPECT_FALSE(ReadWholeFile(dir / "b.PVK", 0));  // larger than allowed
        EXPECT_EQ(ListFiles(dir.Path(), "pvk"), std::vector<std::string>{"b.PVK"});
        EXPECT_EQ(ListFolders(dir.Path()), std::vector<std::string>{"d.pvk"});
        EXPECT_TRUE(HasEntryMatching(dir.Path(), "d.*"));  // a folder matches a pattern as a file does
    }
}

TEST(FileSystem, GetFileTimeGivesUnixSeconds) {
    TempDir dir;
    dir.Write("t.bin", "x");
    HANDLE file = CreateFileW(Utf8ToWide(dir / "t.bin").c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    const ULONGLONG tenSeconds = 116444736000000000ULL + 10ULL * 10000000ULL;  // 1970-01-01 00:00:10 UTC
    FILETIME written = {static_cast<DWORD>(tenSeconds), static_cast<DWORD>(tenSeconds >> 32)};
    ASSERT_TRUE(SetFileTime(file, nullptr, nullptr, &written));
    CloseHandle(file);
    EXPECT_EQ(GetFileTime(dir / "t.bin"), 10u);
    EXPECT_EQ(FileTimeToUnixSeconds(0), 0u);  // before 1970: no wrap-around
}

TEST(SystemScope, NestsPerThreadAndKeepsTheLastError) {
    SetLastError(1234);
    {
        const SystemScope outer;
        EXPECT_EQ(GetLastError(), 1234u);
        { const SystemScope inner; }
        EXPECT_TRUE(SystemScope::Active());  // still inside the outer scope
        std::thread([] { EXPECT_FALSE(SystemScope::Active()); }).join();
        SetLastError(77);
    }
    EXPECT_EQ(GetLastError(), 77u);
    EXPECT_FALSE(SystemScope::Active());
}

TEST(Published, ReadersAlwaysSeeOneWholeObjectWhileItIsReplaced) {
    struct Pair {
        Pair(int first) : a(first), b(2 * first) {}
        ~Pair() { b = -1; }  // a reader still using a destroyed object sees it broken
        volatile int a, b;
    };
    Published<Pair> value(std::make_shared<const Pair>(0));
    std::atomic<bool> stop{false};
    std::atomic<int> torn{0};
    std::vector<std::thread> readers;
    for (int t = 0; t < 3; ++t) {
        readers.emplace_back([&] {
            while (!stop) {
                const std::shared_ptr<const Pair> seen = value.Get();
                if (seen->b != 2 * seen->a) ++torn;
            }
        });
    }
    for (int i = 1; i <= 100000; ++i) value.Publish(std::make_shared<const Pair>(i));
    stop = true;
    for (std::thread& reader : readers) reader.join();
    EXPECT_EQ(torn.load(), 0);
}
