// Map names from model description files: decoding by byte-order mark or
// content, and the line above the last "SceneObjects" line.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "autores/DesText.h"
#include "common/TextEncoding.h"

using namespace modroute;
using namespace std::string_literals;

namespace {

// UTF-16 little-endian byte pairs -> code page 936, whatever the system's
// ANSI code page is. Only whole pairs may be handed over.
std::string Utf16LeToGbk(std::string_view bytes) {
    if (bytes.size() % 2 != 0) return "<odd byte count>";
    std::wstring wide;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) |
                                            static_cast<unsigned char>(bytes[i + 1]) << 8));
    }
    return Utf8ToGbk(WideToUtf8(wide));
}

std::string Decode(std::string_view bytes) { return DecodeDesText(bytes, Utf8ToGbk, Utf16LeToGbk); }

std::string NameFromFile(std::string_view bytes) {
    return MapNameFromDesFile(bytes, "Forest", Utf8ToGbk, Utf16LeToGbk);
}

std::string Utf16(std::string_view utf8, bool bigEndian) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const wchar_t unit : Utf8ToWide(utf8)) {
        const char low = static_cast<char>(unit & 0xFF);
        const char high = static_cast<char>(unit >> 8);
        bytes += bigEndian ? std::string{high, low} : std::string{low, high};
    }
    return bytes;
}

}  // namespace

TEST(DesText, EveryEncodingGivesTheSameGbkName) {
    for (const std::string name : {"Dark Forest", "黑暗森林"}) {
        const std::string utf8 = "GModel Description File V1.0\r\n" + name + "\r\nSceneObjects 12\r\n";
        const std::pair<const char*, std::string> files[] = {
            {"UTF-8 with mark", "\xEF\xBB\xBF" + utf8}, {"UTF-16 LE", Utf16(utf8, false)},
            {"UTF-16 BE", Utf16(utf8, true)},           {"UTF-8 without mark", utf8},
            {"GBK", Utf8ToGbk(utf8)},
        };
        for (const auto& [what, bytes] : files) EXPECT_EQ(NameFromFile(bytes), Utf8ToGbk(name)) << what << " " << name;
    }
}

TEST(DesText, DecodingEdges) {
    const std::string gbk = "\xB3\xC7\xD5\x5C";  // 城誠: not UTF-8, kept as it is
    const std::pair<std::string, std::string> cases[] = {
        {"\xFF\xFE" "A\0B"s, "A"},   // odd last byte of UTF-16 LE ignored
        {"\xFE\xFF" "\0A\0"s, "A"},  // and of UTF-16 BE
        {"A\0"s, "A"},               // a NUL at the end is dropped
        {"\xEF\xBB", "\xEF\xBB"},    // too short for the mark, cut off as UTF-8
        {gbk, gbk},
    };
    for (const auto& [bytes, text] : cases) EXPECT_EQ(Decode(bytes), text) << bytes.size();
    // Four-byte sequences make a file UTF-8; 936 has no such character.
    const std::string emoji = "Bay \xF0\x9F\x98\x80";
    EXPECT_EQ(Decode(emoji), Utf8ToGbk(emoji));
    EXPECT_NE(Decode(emoji), emoji);

    const std::pair<const char*, bool> utf8[] = {
        {"\xF4\x8F\xBF\xBF", true}, {"\xE9\xBB\x91", true}, {"\xC1\xBF", false},
        {"\xF5\x80\x80\x80", false}, {"\xC2\x41", false},   {"ok\xE9\xBB\x91\xC2", false},
    };
    for (const auto& [bytes, isUtf8] : utf8) EXPECT_EQ(IsDesUtf8(bytes), isUtf8) << bytes;

    EXPECT_EQ(NameFromFile(Utf16("Na\0me\r\nSceneObjects\r\n"s, false)), "Forest");  // the unit 0000 is a NUL
}

TEST(DesText, NameIsTheUsableLineAboveTheLastSceneObjectsLine) {
    const std::string longest(63, 'm');
    const std::pair<std::string, std::string> cases[] = {
        {"GModel Description File V1.0\nDark Forest\nSceneObjects 12\n", "Dark Forest"},
        {" \tDark Forest \t\r\nSceneObjects", "Dark Forest"},
        {"First\nSceneObjects\nSecond\nSceneObjects 3\nobjects...\n", "Second"},
        {"SceneObjects\nSecond\n", "Forest"},
        {"Name\nsceneobjects\n", "Forest"},
        {"Name\n\x81SceneObjects\n", "Forest"},          // 'S' is the trail byte of a GBK character
        {"Real Name\n \t \nSceneObjects", "Forest"},     // a blank line above is not skipped
        // A header line gives way to the line above it.
        {"Old Harbour\nGModel Description File V1.0\nSceneObjects", "Old Harbour"},
        {"Old Harbour\nbuilt by Alden Voss\nSceneObjects", "Old Harbour"},
        {"Old Harbour\nOrbisoft\nSceneObjects", "Old Harbour"},
        {"GModel Description File\nSceneObjects", "Forest"},
        // Hash marks and blanks before the name.
        {"#\t Harbour\nSceneObjects", "Harbour"},
        {"##Harbour\nSceneObjects", "#Harbour"},
        {"# X\nSceneObjects", "Forest"},
        // Unusable names.
        {"Baby Room\nSceneObjects", "Forest"},
        {"Profile\nSceneObjects", "Forest"},
        {"Winter 2005\nSceneObjects", "Forest"},
        {"Map v1.0\nSceneObjects", "Forest"},
        {"Createria\nSceneObjects", "Forest"},
        {"X\nSceneObjects", "Forest"},
        {"XY\nSceneObjects", "XY"},
        {longest + "\nSceneObjects", longest},
        {longest + "m\nSceneObjects", "Forest"},  // a map block holds at most 63 bytes
        {"Na\0me\nSceneObjects"s, "Forest"},
    };
    for (const auto& [text, name] : cases) EXPECT_EQ(MapNameFromDesText(text, "Forest"), name) << text;
}

TEST(DesText, GbkTrailBytesAreNeitherLettersNorWordStarts) {
    // 81 42 ends in 'B', 81 62 in 'b', 81 46 in 'F', D5 5C in '\': next to
    // "y" or "ile" a byte scan would see the words "by" and "file".
    for (const std::string name : {"\x81\x42y Town", "\x81\x62y", "\x81\x46ile", "\xD5\x5C Hall"}) {
        EXPECT_TRUE(IsValidMapName(name)) << name;
        EXPECT_EQ(NameFromFile("Header\r\n" + name + "\r\nSceneObjects\r\n"), name) << name;
    }
}
