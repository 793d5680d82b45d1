#include <gtest/gtest.h>

#include <windows.h>

#include "common/TextEncoding.h"
#include "common/Utf8Text.h"

using namespace modroute;

namespace {
const std::string kChineseUtf8 = "\xE6\xB5\x8B\xE8\xAF\x95\xE6\xA8\xA1\xE7\xBB\x84";  // 测试模组
const std::string kChineseGbk = "\xB2\xE2\xCA\xD4\xC4\xA3\xD7\xE9";
const std::string kZoeUtf8 = "Zo\xC3\xAB";         // Zoë: ë has no GBK form
const std::string kHangulUtf8 = "\xED\x95\x9C";     // 한
}  // namespace

TEST(TextEncoding, TheProcessRunsUnderCodePage936) {
    // Everything else relies on it; a wrong locale must fail loudly here.
    EXPECT_EQ(GetACP(), 936u);
}

TEST(TextEncoding, GbkUtf8AndWideRoundTrip) {
    EXPECT_EQ(Utf8ToGbk(kChineseUtf8), kChineseGbk);
    EXPECT_EQ(GbkToUtf8(kChineseGbk), kChineseUtf8);
    EXPECT_EQ(Utf8ToGbkExact(kChineseUtf8), kChineseGbk);
    EXPECT_EQ(WideToUtf8(Utf8ToWide(kChineseUtf8)), kChineseUtf8);
}

TEST(TextEncoding, Utf16BytesReachCodePage936InWholePairs) {
    const std::string littleEndian("\x4B\x6D\xD5\x8B\x41\x00", 6);  // 测试A
    EXPECT_EQ(Utf16LeBytesToGbk(littleEndian), "\xB2\xE2\xCA\xD4" "A");
    EXPECT_EQ(Utf16LeBytesToGbk(littleEndian + "\x42"), "\xB2\xE2\xCA\xD4" "A");  // an odd last byte is ignored
    EXPECT_EQ(Utf16LeBytesToGbk(std::string("\x41\x00\x00\x00", 4)), std::string("A\0", 2));
}

TEST(TextEncoding, ExactConversionsRefuseWhatTheOtherSideCannotHold) {
    for (const std::string& text : {kZoeUtf8, kHangulUtf8, std::string("\xFF\xFE")}) {
        EXPECT_FALSE(Utf8ToGbkExact(text)) << text;
    }
    EXPECT_EQ(Utf8ToGbk(kZoeUtf8), "Zo?");  // the lossy form the A functions would get
    EXPECT_FALSE(GbkToUtf8Exact("ab\x81"));  // a lead byte without its trail
}

TEST(Utf8Text, FourByteSequencesAreWellFormedButFailTheOldTest) {
    const struct {
        const char* bytes;
        bool wellFormed;
        bool oldTest;
    } cases[] = {
        {"Blades", true, true},
        {"\xE5\x88\x80\xE9\x94\x8B", true, true},  // 刀锋
        {"\xF0\x9F\x98\x80", true, false},          // one four-byte character
        {"\xF0\x9F\x98" "a", false, false},         // a four-byte lead with only two continuations
        {"\xB5\xB6\xB7\xE6", false, false},         // GBK
        {"\xC0\xAF", false, false},                 // overlong
        {"\xE0\x80\x80", false, true},              // overlong three-byte form, which the old test lets pass
        {"\xED\xA0\x80", false, true},              // surrogate
        {"\xF4\x90\x80\x80", false, false},         // above U+10FFFF
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsWellFormedUtf8(c.bytes), c.wellFormed) << c.bytes;
        EXPECT_EQ(PassesUtf8Test(c.bytes), c.oldTest) << c.bytes;
    }
}
