#include <gtest/gtest.h>

#include <windows.h>

#include "common/GbkText.h"
#include "common/PathText.h"
#include "common/TextEncoding.h"
#include "common/Utf8Text.h"

using namespace modroute;

TEST(TextEncoding, ConversionsUnderCodePage936) {
    ASSERT_EQ(GetACP(), 936u);  // everything else relies on it
    const std::string utf8 = "\xE6\xB5\x8B\xE8\xAF\x95", gbk = "\xB2\xE2\xCA\xD4";  // 测试
    EXPECT_EQ(Utf8ToGbkExact(utf8), gbk);
    EXPECT_EQ(GbkToUtf8(gbk), utf8);
    EXPECT_EQ(WideToUtf8(Utf8ToWide(utf8)), utf8);
    EXPECT_FALSE(Utf8ToGbkExact("Zo\xC3\xAB"));  // ë has no GBK form
    EXPECT_EQ(Utf8ToGbk("Zo\xC3\xAB"), "Zo?");
    EXPECT_FALSE(GbkToUtf8Exact("ab\x81"));  // a lead byte without its trail
    // UTF-16 bytes in whole pairs: an odd last byte is ignored, an inner NUL kept.
    EXPECT_EQ(Utf16LeBytesToGbk(std::string("\x4B\x6D\xD5\x8B\x41\x00\x00\x00\x42", 9)), gbk + std::string("A\0", 2));
}

// Regressions of folders whose GBK trail byte is '\' (誠 D5 5C) or a letter (乀 81 5A).
TEST(GbkText, TrailBytesAreNeitherSeparatorsNorLetters) {
    EXPECT_FALSE(GbkContainsIgnoringCase("\xD5render.json", "render.json"));  // D5 72 is one character
    EXPECT_EQ(GbkToLowerAscii("SN\x81\x5A"), "sn\x81\x5A");
    EXPECT_EQ(GbkFind("\x81snsn01", "sn"), 3u);
}

TEST(PathText, OneCaseOfEachRule) {
    EXPECT_EQ(CleanPath("//server/share"), "\\\\server\\share");  // only a UNC prefix keeps two
    EXPECT_TRUE(IsAbsolutePath("c:x"));
    EXPECT_FALSE(IsAbsolutePath("\\x"));
    EXPECT_TRUE(ContainsIgnoringCase("maps\\SN01", "sn01"));  // the needle may end the text
    EXPECT_TRUE(IsWellFormedUtf8("\xF0\x9F\x98\x80"));
    EXPECT_FALSE(PassesUtf8Test("\xF0\x9F\x98\x80"));   // four bytes: the old test refuses it
    EXPECT_FALSE(IsWellFormedUtf8("\xE0\x80\x80"));      // overlong three-byte form, which the old test lets pass
    EXPECT_TRUE(PassesUtf8Test("\xE0\x80\x80"));
}
