// One case per rule; the fuzz target checks the variations.
#include <gtest/gtest.h>

#include "redirect/PathRules.h"

#include <tuple>

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
        if (key == "SN100") return "sn01 - copy";
        return key == "SN02" ? std::optional<std::string>("Dune.v2") : std::nullopt;
    };
    using Rewrite = std::optional<std::string> (*)(const std::string&, const MapDirectoryLookup&);
    const std::tuple<Rewrite, const char*, std::optional<std::string>> cases[] = {
        // A file named after the id keeps only its own extension; dots in folders, the mapped one included, are none.
        {RewriteMapPath, "sn02\\sn02.wp", "Dune.v2\\Dune.v2.wp"},
        {RewriteMapPath, "snow\\sn100\\x", "snow\\sn01 - copy\\x"},  // three digits; "sn" alone is no id
        // Only the file name is looked at: the rewritten folder holds an id of its own.
        {MapFileCandidate, "sn01 - copy\\sn02_.pst", "sn01 - copy\\Dune.v2_.pst"},
        {RewriteMapFolderInPattern, "maps\\sn02\\*", "maps\\Dune.v2\\*"},
        {RewriteMapFolderInPattern, "sn100\\*.txt", "sn01 - copy\\*.txt"},
    };
    for (const auto& [rewrite, path, expected] : cases) EXPECT_EQ(rewrite(path, lookup), expected) << path;
}
