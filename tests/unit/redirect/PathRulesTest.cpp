#include <gtest/gtest.h>

#include <map>
#include <tuple>

#include "redirect/PathRules.h"

using namespace modroute;

TEST(NormalizePath, BringsGamePathsIntoCanonicalForm) {
    EXPECT_EQ(NormalizePath("./data//x.pak"), "data\\x.pak");
    EXPECT_EQ(NormalizePath("\\data\\x"), "data\\x");
    EXPECT_EQ(NormalizePath("..\\x"), "..\\x");  // a real parent reference stays
    EXPECT_EQ(NormalizePath("..x"), "x");
    EXPECT_EQ(NormalizePath(".."), "..");
    EXPECT_EQ(NormalizePath("a\\\\\\\\b"), "a\\b");
    EXPECT_EQ(NormalizePath("Texture/Hero.DDS"), "Texture\\Hero.DDS");  // case stays
    EXPECT_EQ(NormalizePath(""), "");
    // However many separators follow ".\", the path never starts at the root.
    EXPECT_EQ(NormalizePath(".///x.pak"), "x.pak");
    EXPECT_EQ(NormalizePath(".\\/\\data\\x"), "data\\x");
}

TEST(IsRootFile, MatchesTheFileNameExactly) {
    EXPECT_TRUE(IsRootFile("Tavren.exe"));
    EXPECT_TRUE(IsRootFile("data\\config.ini"));
    EXPECT_TRUE(IsRootFile("C:\\Game\\config.ini"));
    EXPECT_TRUE(IsRootFile("a/mgstringtableHT.ini"));
    EXPECT_FALSE(IsRootFile("Config.ini"));
    EXPECT_FALSE(IsRootFile("Tavren.exe.bak"));
    EXPECT_FALSE(IsRootFile("config.ini\\x"));
    EXPECT_FALSE(IsRootFile(""));
}

TEST(IsSpecialFile, MapFilesAnywhereInThePath) {
    EXPECT_TRUE(IsSpecialFile("maps\\sn01\\sn01.wp"));
    EXPECT_TRUE(IsSpecialFile("maps\\SN01\\SN01.WP"));
    EXPECT_TRUE(IsSpecialFile("x\\terrain_.pst"));
    EXPECT_FALSE(IsSpecialFile("x\\terrain.pst"));
    EXPECT_FALSE(IsSpecialFile("texture\\a.dds"));
}

namespace {
MapDirectoryLookup Lookup(std::map<std::string, std::string> entries) {
    return [entries](std::string_view key) -> std::optional<std::string> {
        const auto found = entries.find(std::string(key));
        if (found == entries.end()) return std::nullopt;
        return found->second;
    };
}
}  // namespace

TEST(RewriteMapPath, FolderAndPackNamesTakeTheMappedDirectory) {
    const MapDirectoryLookup lookup = Lookup({{"SN01", "Dune"}, {"SN12", "\xE6\xB2\x99\xE6\xBC\xA0"}});
    EXPECT_EQ(RewriteMapPath("sn01\\sn01.wp", lookup), "Dune\\Dune.wp");
    EXPECT_EQ(RewriteMapPath("SN01\\terrain.gmb", lookup), "Dune\\terrain.gmb");
    EXPECT_EQ(RewriteMapPath("sn01.pak", lookup), "Dune.pak");
    EXPECT_EQ(RewriteMapPath("maps\\sn12\\sn12.des", lookup), "maps\\\xE6\xB2\x99\xE6\xBC\xA0\\\xE6\xB2\x99\xE6\xBC\xA0.des");
    // The id not followed by a separator is not a folder name.
    EXPECT_EQ(RewriteMapPath("maps\\sn01x.txt", lookup), std::nullopt);
    EXPECT_EQ(RewriteMapPath("sn01\\", lookup), std::nullopt);  // nothing after the folder
    // Unknown ids and paths without an id stay.
    EXPECT_EQ(RewriteMapPath("sn02\\sn02.wp", lookup), std::nullopt);
    EXPECT_EQ(RewriteMapPath("texture\\a.dds", lookup), std::nullopt);
    EXPECT_EQ(RewriteMapPath("sn0", lookup), std::nullopt);
}

TEST(RewriteMapPath, OnlyTheFirstIdCountsAndOtherFilesKeepTheirNames) {
    const MapDirectoryLookup lookup = Lookup({{"SN01", "Dune"}});
    EXPECT_EQ(RewriteMapPath("sn01\\snow.dds", lookup), "Dune\\snow.dds");
    EXPECT_EQ(RewriteMapPath("sn01\\sub\\sn01", lookup), "Dune\\sub\\Dune");
}

TEST(RewriteMapPath, AFileNamedAfterTheIdKeepsOnlyItsOwnExtension) {
    // Dots in folders, the mapped one included, are no extension of the file.
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"Dune", "sn01\\a.b\\sn01", "Dune\\a.b\\Dune"},
        {"Dune.v2", "sn01\\sn01", "Dune.v2\\Dune.v2"},
        {"Dune.v2", "sn01\\sn01.wp", "Dune.v2\\Dune.v2.wp"},
        {"Dune", "maps.old\\sn01\\sn01.tar.gz", "maps.old\\Dune\\sn01.tar.gz"},
    };
    for (const auto& [directory, path, rewritten] : cases) {
        EXPECT_EQ(RewriteMapPath(path, Lookup({{"SN01", directory}})), rewritten) << path << " in " << directory;
    }
}

TEST(RewriteMapFolderInPattern, TheLastMapFolderOfASearchTakesItsDirectory) {
    const MapDirectoryLookup lookup = Lookup({{"SN03", "Dune"}, {"SN04", "Marsh"}});
    EXPECT_EQ(RewriteMapFolderInPattern("maps\\sn03\\*.wp", lookup), "maps\\Dune\\*.wp");
    EXPECT_EQ(RewriteMapFolderInPattern("maps/SN03/*", lookup), "maps/Dune/*");
    EXPECT_EQ(RewriteMapFolderInPattern("sn03\\x\\sn04", lookup), "sn03\\x\\Marsh");  // the last one counts
    EXPECT_EQ(RewriteMapFolderInPattern("maps\\sn03\\sn04\\*", lookup), "maps\\sn03\\Marsh\\*");
    EXPECT_EQ(RewriteMapFolderInPattern("maps\\sn3x\\*", lookup), std::nullopt);       // two digits needed
    EXPECT_EQ(RewriteMapFolderInPattern("maps\\sn05\\*", lookup), std::nullopt);       // not mapped
    EXPECT_EQ(RewriteMapFolderInPattern("sn03\\*", lookup), std::nullopt);               // needs a separator before
    EXPECT_EQ(RewriteMapFolderInPattern("maps\\sn0", lookup), std::nullopt);
}
