// One case per rule; the fuzz target checks the variations.
#include <gtest/gtest.h>

#include <map>
#include <optional>

#include "redirect/PathRules.h"

using namespace modroute;

TEST(PathRules, CanonicalFormAndPathClasses) {
    const std::pair<const char*, const char*> cases[] = {
        {"./data//x.pak", "data\\x.pak"}, {"..\\x", "..\\x"}, {"..x", "x"}, {".\\/\\data\\x", "data\\x"},
    };
    for (const auto& [path, normal] : cases) EXPECT_EQ(NormalizePath(path), normal) << path;
    EXPECT_TRUE(IsRootFile("C:\\Game\\config.ini"));
    EXPECT_FALSE(IsRootFile("Config.ini"));
    EXPECT_TRUE(IsSpecialFile("maps\\SN01\\SN01.WP"));
    EXPECT_FALSE(IsSpecialFile("x\\terrain.pst"));
}

TEST(PathRules, MapFoldersAndPacksTakeTheMappedDirectory) {
    const std::map<std::string, std::string> entries = {{"SN01", "Dune"}, {"SN02", "Dune.v2"}, {"SN04", "Marsh"}};
    const MapDirectoryLookup lookup = [&](std::string_view key) -> std::optional<std::string> {
        const auto found = entries.find(std::string(key));
        return found == entries.end() ? std::nullopt : std::optional(found->second);
    };
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {"sn01.pak", "Dune.pak"},
        {"sn01\\snow.dds", "Dune\\snow.dds"},  // only the first id counts
        // A file named after the id keeps only its own extension; dots in
        // folders, the mapped one included, are none.
        {"sn02\\sn02.wp", "Dune.v2\\Dune.v2.wp"},
        {"maps.old\\sn01\\sn01.tar.gz", "maps.old\\Dune\\sn01.tar.gz"},
        {"maps\\sn01x.txt", std::nullopt},  // not followed by a separator: no folder name
        {"sn01\\", std::nullopt},
    };
    for (const auto& [path, rewritten] : cases) EXPECT_EQ(RewriteMapPath(path, lookup), rewritten) << path;
    EXPECT_EQ(RewriteMapFolderInPattern("maps\\sn01\\sn04\\*", lookup), "maps\\sn01\\Marsh\\*");  // the last one counts
    EXPECT_EQ(RewriteMapFolderInPattern("sn01\\*", lookup), std::nullopt);  // needs a separator before
}
