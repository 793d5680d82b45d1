#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "common/FileSystem.h"
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

