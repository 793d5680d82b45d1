#include <gtest/gtest.h>

#include <windows.h>

#include <thread>
#include <vector>

#include "common/FileSystem.h"
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
