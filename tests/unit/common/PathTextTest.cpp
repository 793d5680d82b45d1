#include <gtest/gtest.h>

#include "common/PathText.h"

using namespace modroute;

TEST(PathJoin, InsertsOneSeparatorAndKeepsWhatTheCallerGave) {
    EXPECT_EQ(PathJoin("C:/Game/", "base"), "C:/Game/base");
    EXPECT_EQ(PathJoin("C:\\Game", "base"), "C:\\Game\\base");
    EXPECT_EQ(PathJoin("a", "\\b"), "a\\\\b");
    EXPECT_EQ(PathJoin("", "b"), "b");
    EXPECT_EQ(PathJoin("a", ""), "a");
}

TEST(CleanPath, CollapsesDoubledSeparatorsButKeepsAUncPrefix) {
    const std::pair<const char*, const char*> cases[] = {
        {"", ""},
        {"a//b\\\\c", "a\\b\\c"},
        {"\\\\server\\share\\\\x", "\\\\server\\share\\x"},
        {"//server/share", "\\\\server\\share"},
        {"\\\\?\\C:\\x", "\\?\\C:\\x"},
        {"\\\\", "\\"},  // too short to be a UNC prefix
        {"dir\\", "dir\\"},
        // A longer run in front of a UNC path leaves its two backslashes, no more.
        {"\\\\\\\\ssl", "\\\\ssl"},
        {"///server/share", "\\\\server\\share"},
    };
    for (const auto& [path, clean] : cases) {
        EXPECT_EQ(CleanPath(path), clean) << path;
        EXPECT_EQ(CleanPath(clean), clean) << path;  // a clean path stays as it is
    }
}

TEST(PathParts, FileNameExtensionAndStem) {
    EXPECT_EQ(GetFileName("a/b\\c.txt"), "c.txt");
    EXPECT_EQ(GetFileName("dir\\"), "");
    EXPECT_EQ(GetExtension("sn01.wp"), ".wp");
    EXPECT_EQ(GetExtension("maps.v2\\readme"), ".v2\\readme");  // the last dot of the whole string
    EXPECT_EQ(GetStem("maps\\sn01.wp"), "sn01");
    EXPECT_EQ(GetStem("maps.v2\\readme"), "readme");  // a dot in a folder does not cut the name
    EXPECT_EQ(GetStem(".hidden"), "");
}

TEST(PathText, AbsolutePathsAreTwoSeparatorsOrADriveColon) {
    for (const char* path : {"C:\\x", "c:x", "\\\\server\\share", "//server/share", "\\\\?\\Z:\\a", "\\\\.\\pipe\\x",
                             "\\/mixed"}) {
        EXPECT_TRUE(IsAbsolutePath(path)) << path;
    }
    for (const char* path : {"", "a", "\\x", "/x", "texture\\a.dds", ".\\a:b"}) EXPECT_FALSE(IsAbsolutePath(path)) << path;
}
