// One case per rule; the fuzz target checks the variations.
#include <gtest/gtest.h>

#include "redirect/PathRules.h"

using namespace modroute;

TEST(PathRules, CanonicalFormPathClassesAndMapFolders) {
    EXPECT_EQ(NormalizePath(".\\/\\data\\x"), "data\\x");  // never from the root, however many separators follow ".\"
    EXPECT_EQ(NormalizePath("..\\x"), "..\\x");
    for (const char* spelling : {"a/./b\\..\\b\\x.dds. .", "a\\b\\c\\..\\..\\b\\x.dds", "a\\b\\x.dds\\.", "a.\\b\\x.dds"}) {
        EXPECT_EQ(NormalizePath(spelling), "a\\b\\x.dds") << spelling;
    }
    EXPECT_EQ(NormalizePath("..\\..\\x\\..\\y"), "..\\..\\y");
    EXPECT_FALSE(IsRootFile("Config.ini"));
    const MapDirectoryLookup lookup = [](std::string_view key) -> std::optional<std::string> {
        return key == "SN02" ? std::optional<std::string>("Dune.v2") : std::nullopt;
    };
    // A file named after the id keeps only its own extension; dots in folders, the mapped one included, are none.
    EXPECT_EQ(RewriteMapPath("sn02\\sn02.wp", lookup), "Dune.v2\\Dune.v2.wp");
    EXPECT_EQ(RewriteMapPath("maps.old\\sn02\\sn02.tar.gz", lookup), "maps.old\\Dune.v2\\sn02.tar.gz");
    EXPECT_EQ(RewriteMapPath("maps\\sn02x.txt", lookup), std::nullopt);  // not followed by a separator
    EXPECT_EQ(RewriteMapFolderInPattern("maps\\sn02\\*", lookup), "maps\\Dune.v2\\*");
    EXPECT_EQ(RewriteMapFolderInPattern("sn02\\*", lookup), std::nullopt);  // needs a separator before
}
