#include <gtest/gtest.h>

#include <map>
#include <optional>

#include "redirect/PathRules.h"

using namespace modroute;

TEST(NormalizePath, BringsGamePathsIntoCanonicalForm) {
    const std::pair<const char*, const char*> cases[] = {
        {"./data//x.pak", "data\\x.pak"}, {"\\data\\x", "data\\x"},
        {"..\\x", "..\\x"},  // a real parent reference stays
        {"..x", "x"},         {"..", ".."}, {"a\\\\\\\\b", "a\\b"},
        {"Texture/Hero.DDS", "Texture\\Hero.DDS"},  // case stays
        {"", ""},
        // However many separators follow ".\", the path never starts at the root.
        {".///x.pak", "x.pak"}, {".\\/\\data\\x", "data\\x"},
    };
    for (const auto& [path, normal] : cases) EXPECT_EQ(NormalizePath(path), normal) << path;
}

TEST(PathClasses, RootFilesMatchTheFileNameExactlyAndMapFilesAnywhere) {
    for (const char* path : {"Tavren.exe", "data\\config.ini", "C:\\Game\\config.ini", "a/mgstringtableHT.ini"}) {
        EXPECT_TRUE(IsRootFile(path)) << path;
    }
    for (const char* path : {"Config.ini", "Tavren.exe.bak", "config.ini\\x", ""}) EXPECT_FALSE(IsRootFile(path)) << path;
    for (const char* path : {"maps\\sn01\\sn01.wp", "maps\\SN01\\SN01.WP", "x\\terrain_.pst"}) {
        EXPECT_TRUE(IsSpecialFile(path)) << path;
    }
    for (const char* path : {"x\\terrain.pst", "texture\\a.dds"}) EXPECT_FALSE(IsSpecialFile(path)) << path;
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
    const std::string sand = "\xE6\xB2\x99\xE6\xBC\xA0";  // 沙漠
    const MapDirectoryLookup lookup = Lookup({{"SN01", "Dune"}, {"SN02", "Dune.v2"}, {"SN12", sand}});
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {"sn01\\sn01.wp", "Dune\\Dune.wp"},
        {"SN01\\terrain.gmb", "Dune\\terrain.gmb"},
        {"sn01.pak", "Dune.pak"},
        {"maps\\sn12\\sn12.des", "maps\\" + sand + "\\" + sand + ".des"},
        {"sn01\\snow.dds", "Dune\\snow.dds"},  // only the first id counts
        {"sn01\\sub\\sn01", "Dune\\sub\\Dune"},
        // A file named after the id keeps only its own extension; dots in
        // folders, the mapped one included, are none.
        {"sn01\\a.b\\sn01", "Dune\\a.b\\Dune"},
        {"sn02\\sn02", "Dune.v2\\Dune.v2"},
        {"sn02\\sn02.wp", "Dune.v2\\Dune.v2.wp"},
        {"maps.old\\sn01\\sn01.tar.gz", "maps.old\\Dune\\sn01.tar.gz"},
        // The id not followed by a separator is not a folder name.
        {"maps\\sn01x.txt", std::nullopt},
        {"sn01\\", std::nullopt},  // nothing after the folder
        {"sn03\\sn03.wp", std::nullopt},
        {"texture\\a.dds", std::nullopt},
        {"sn0", std::nullopt},
    };
    for (const auto& [path, rewritten] : cases) EXPECT_EQ(RewriteMapPath(path, lookup), rewritten) << path;
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
