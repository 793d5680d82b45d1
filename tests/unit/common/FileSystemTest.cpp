#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>

#include "common/FileSystem.h"
#include "common/TextEncoding.h"
#include "support/TempDir.h"

using namespace modroute;
using testsupport::TempDir;

TEST(FileSystem, ExistenceTestsTellFilesFromFolders) {
    TempDir dir("\xE6\xB8\xB8\xE6\x88\x8F");  // 游戏
    dir.Write("a.txt", "x");
    dir.MakeFolder("sub");
    EXPECT_TRUE(FileExists(dir / "a.txt"));
    EXPECT_FALSE(FileExists(dir / "sub"));
    EXPECT_FALSE(FileExists(dir / "missing.txt"));
    EXPECT_FALSE(FileExists(""));
    EXPECT_TRUE(DirectoryExists(dir.Path()));  // only its GBK form names it
    EXPECT_TRUE(DirectoryExists(Utf8ToAnsi(dir.Path())));
    EXPECT_TRUE(DirectoryExists(dir / "sub"));
    EXPECT_FALSE(DirectoryExists(dir / "a.txt"));
    EXPECT_FALSE(DirectoryExists(""));
}

TEST(FileSystem, ListFilesMatchesExtensionsWithoutCaseAndSkipsFolders) {
    TempDir dir("\xE6\xA8\xA1\xE7\xBB\x84");  // 模组: listed through its GBK form
    dir.Write("a.pvk", "1");
    dir.Write("b.PVK", "2");
    dir.Write("c.txt", "3");
    dir.MakeFolder("d.pvk");
    for (const char* extension : {".pvk", "pvk"}) {
        std::vector<std::string> names = ListFiles(dir.Path(), extension);
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, (std::vector<std::string>{"a.pvk", "b.PVK"})) << extension;
    }
    EXPECT_EQ(ListFiles(dir.Path(), "").size(), 3u);
    EXPECT_TRUE(ListFiles(dir / "missing", ".pvk").empty());
    EXPECT_TRUE(ListFiles(dir / "a.pvk", ".pvk").empty());
}

TEST(FileSystem, GetFileTimeGivesUnixSeconds) {
    TempDir dir("\xE6\x97\xB6\xE9\x97\xB4");  // 时间
    dir.Write("t.bin", "x");
    const std::wstring wide = Utf8ToWide(dir / "t.bin");
    HANDLE file = CreateFileW(wide.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    // 1970-01-01 00:00:10 UTC
    const ULONGLONG tenSeconds = 116444736000000000ULL + 10ULL * 10000000ULL;
    FILETIME written = {static_cast<DWORD>(tenSeconds), static_cast<DWORD>(tenSeconds >> 32)};
    ASSERT_TRUE(SetFileTime(file, nullptr, nullptr, &written));
    CloseHandle(file);
    EXPECT_EQ(GetFileTime(dir / "t.bin"), 10u);
    EXPECT_EQ(GetFileTime(dir / "missing.bin"), 0u);
    EXPECT_EQ(FileTimeToUnixSeconds(0), 0u);  // before 1970: no wrap-around
}
