#include <gtest/gtest.h>

#include "common/GbkText.h"

using namespace modroute;

namespace {
// 誠 in GBK is D5 5C: its trail byte is '\'. 運 is DF 5C, 錦 is E5 5C.
const std::string kSincere = "\xD5\x5C";
// 丂 is 81 40; 乀 81 5A has an upper-case 'Z' as trail byte; 乼 81 61 an 'a'.
const std::string kTrailZ = "\x81\x5A";
const std::string kTrailA = "\x81\x61";
}  // namespace

TEST(GbkText, TrailBytesAreNeverSeparators) {
    EXPECT_EQ(GbkFindLastSeparator("C:\\games\\" + kSincere), 8u);
    EXPECT_EQ(GbkFindLastSeparator(kSincere), std::string::npos);
    EXPECT_EQ(GbkFindLastSeparator("a/b\\c"), 3u);
}

TEST(GbkText, CaseChangesTouchSingleByteLettersOnly) {
    EXPECT_EQ(GbkToLowerAscii("SN01\\" + kTrailZ + "X"), "sn01\\" + kTrailZ + "x");
    EXPECT_EQ(GbkToUpperAscii("sn" + kTrailA + "b"), "SN" + kTrailA + "B");
    // A lead byte cut off at the end stays a byte of its own.
    EXPECT_EQ(GbkToLowerAscii("A\x81"), "a\x81");
}

TEST(GbkText, FindMatchesOnlyAtCharacterBoundaries) {
    // "\x81sn" + "01": the 's' after a lead byte is a trail byte, not a match.
    EXPECT_EQ(GbkFind("\x81snsn01", "sn"), 3u);
    EXPECT_EQ(GbkFind("maps\\sn01", "sn"), 5u);
    EXPECT_EQ(GbkFind("maps\\sn01", "sn", 6), std::string::npos);
    EXPECT_EQ(GbkFind("abc", "zz"), std::string::npos);
}
