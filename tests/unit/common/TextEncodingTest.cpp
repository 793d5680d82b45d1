#include <gtest/gtest.h>

#include <windows.h>

#include "common/TextEncoding.h"

using namespace modroute;

namespace {
const std::string kChineseUtf8 = "\xE6\xB5\x8B\xE8\xAF\x95\xE6\xA8\xA1\xE7\xBB\x84";  // 测试模组
const std::string kChineseGbk = "\xB2\xE2\xCA\xD4\xC4\xA3\xD7\xE9";
}  // namespace

TEST(TextEncoding, TheProcessRunsUnderCodePage936) {
    // Everything below relies on it; a wrong locale must fail loudly here.
    EXPECT_EQ(GetACP(), 936u);
}

TEST(TextEncoding, GbkAndUtf8RoundTrip) {
    EXPECT_EQ(Utf8ToAnsi(kChineseUtf8), kChineseGbk);
    EXPECT_EQ(AnsiToUtf8(kChineseGbk), kChineseUtf8);
    EXPECT_EQ(AnsiToUtf8(Utf8ToAnsi("mods\\" + kChineseUtf8 + "\\a.dds")), "mods\\" + kChineseUtf8 + "\\a.dds");
    EXPECT_EQ(AnsiToUtf8("plain ascii"), "plain ascii");
    EXPECT_EQ(AnsiToUtf8(""), "");
    EXPECT_EQ(Utf8ToAnsi(""), "");
}

TEST(TextEncoding, WideConversions) {
    EXPECT_EQ(Utf8ToWide(kChineseUtf8), L"\u6D4B\u8BD5\u6A21\u7EC4");
    EXPECT_EQ(AnsiToWide(kChineseGbk), L"\u6D4B\u8BD5\u6A21\u7EC4");
    EXPECT_EQ(WideToAnsi(L"\u6D4B\u8BD5\u6A21\u7EC4"), kChineseGbk);
    EXPECT_EQ(WideToUtf8(L"\u6D4B\u8BD5\u6A21\u7EC4"), kChineseUtf8);
    // A terminator counted into the input is not kept in the result.
    EXPECT_EQ(WideToAnsi(std::wstring(L"ab\0", 3)), "ab");
    EXPECT_EQ(Utf8ToWide(""), L"");
}

TEST(TextEncoding, InvalidUtf8DoesNotTurnIntoGarbageBytes) {
    // Invalid sequences become U+FFFD, which has no GBK form but '?': never raw bytes.
    const std::string converted = Utf8ToAnsi("\xFF\xFE");
    for (char c : converted) EXPECT_NE(static_cast<unsigned char>(c), 0xFF);
}
