// Map names from model description files: decoding by byte-order mark or
// content, and the line above the last "SceneObjects" line.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

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

using NameCases = std::vector<std::pair<std::string, std::string>>;

// Each text gives its map name, folder "Forest".
void ExpectNamesFromText(const NameCases& cases) {
    for (const auto& [text, name] : cases) EXPECT_EQ(MapNameFromDesText(text, "Forest"), name) << text;
}

// Each candidate, as the line above "SceneObjects", gives its map name.
void ExpectNamesOfCandidates(const NameCases& cases) {
    for (const auto& [candidate, name] : cases) {
        EXPECT_EQ(MapNameFromDesText(candidate + "\nSceneObjects", "Forest"), name) << candidate;
    }
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

std::string DesFile(std::string_view name) {
    return std::string("GModel Description File V1.0\r\n") + std::string(name) + "\r\nSceneObjects 12\r\n";
}

}  // namespace

TEST(DesText, EveryEncodingGivesTheSameGbkName) {
    for (const std::string name : {"Dark Forest", "黑暗森林"}) {
        const std::string utf8 = DesFile(name);
        const std::pair<const char*, std::string> files[] = {
            {"UTF-8 with mark", "\xEF\xBB\xBF" + utf8},
            {"UTF-16 LE", Utf16(utf8, false)},
            {"UTF-16 BE", Utf16(utf8, true)},
            {"UTF-8 without mark", utf8},
            {"GBK", Utf8ToGbk(utf8)},
        };
        for (const auto& [what, bytes] : files) EXPECT_EQ(NameFromFile(bytes), Utf8ToGbk(name)) << what << " " << name;
    }
}

TEST(DesText, DecodingEdges) {
    const std::string gbk = "\xB3\xC7\xD5\x5C";  // 城誠: not UTF-8, kept as it is
    const std::pair<std::string, std::string> cases[] = {
        {"\xFF\xFE" "A\0B"s, "A"},     // odd last byte of UTF-16 LE ignored
        {"\xFE\xFF" "\0A\0"s, "A"},    // and of UTF-16 BE
        {"\xFF\xFE" "A\0\0\0"s, "A"},  // a NUL at the end is dropped
        {"A\0"s, "A"},                // also from UTF-8 without mark
        {"\xFF\xFE", ""},
        {"\xEF\xBB\xBF", ""},
        {"\xEF\xBB", "\xEF\xBB"},  // too short for the mark, cut off as UTF-8
        {gbk, gbk},
        {"\xF5\x80\x80\x80", "\xF5\x80\x80\x80"},
    };
    for (const auto& [bytes, text] : cases) EXPECT_EQ(Decode(bytes), text) << bytes.size();

    // Four-byte sequences make a file UTF-8; 936 has no such character.
    const std::string emoji = "Bay \xF0\x9F\x98\x80";
    EXPECT_EQ(Decode(emoji), Utf8ToGbk(emoji));
    EXPECT_NE(Decode(emoji), emoji);
}

TEST(DesText, Utf8ScanAcceptsOneToFourByteSequencesOnly) {
    const std::pair<const char*, bool> cases[] = {
        {"", true},
        {"plain", true},
        {"\xC2\xA9", true},
        {"\xE9\xBB\x91", true},
        {"\xF0\x9F\x98\x80", true},
        {"\xF4\x8F\xBF\xBF", true},
        {"\xC1\xBF", false},
        {"\x80", false},
        {"\xF5\x80\x80\x80", false},
        {"\xFF", false},
        {"\xC2\x41", false},
        {"\xC2\xC0", false},
        {"\xE9\xBB", false},
        {"ok\xE9\xBB\x91\xC2", false},
    };
    for (const auto& [bytes, utf8] : cases) EXPECT_EQ(IsDesUtf8(bytes), utf8) << bytes;
}

TEST(DesText, NameIsTheLineAboveTheLastSceneObjectsLine) {
    ExpectNamesFromText({
        {"GModel Description File V1.0\nDark Forest\nSceneObjects 12\n", "Dark Forest"},
        {"Dark Forest\r\nSceneObjects 12\r\n", "Dark Forest"},
        {" \tDark Forest \t\nSceneObjects", "Dark Forest"},
        {"First\nSceneObjects\nSecond\nSceneObjects 3\nobjects...\n", "Second"},
        {"SceneObjects\nSecond\n", "Forest"},
        {"Name\nno scene here\n", "Forest"},
        {"Name\nsceneobjects\n", "Forest"},
        {"Name\n\x81SceneObjects\n", "Forest"},  // 'S' is the trail byte of a GBK character
        {"\nSceneObjects", "Forest"},
        {"Real Name\n \t \nSceneObjects", "Forest"},  // a blank line above is not skipped
        {"", "Forest"},
    });
}

TEST(DesText, HeaderLineAboveSceneObjectsGivesWayToTheLineAboveIt) {
    ExpectNamesFromText({
        {"Old Harbour\nGModel Description File V1.0\nSceneObjects", "Old Harbour"},
        {"Old Harbour\nbuilt by Alden Voss\nSceneObjects", "Old Harbour"},
        {"Old Harbour\nOrbisoft\nSceneObjects", "Old Harbour"},
        {"Old Harbour\nCreate by Ridiruz 2004\nSceneObjects", "Old Harbour"},
        {"  # Old Harbour  \nGModel Description File\nSceneObjects", "Old Harbour"},
        {"\nGModel Description File\nSceneObjects", "Forest"},
        {"GModel Description File\nSceneObjects", "Forest"},  // nothing above the header
    });
}

TEST(DesText, HashMarkAndBlanksBeforeTheNameAreDropped) {
    ExpectNamesOfCandidates({
        {"# Harbour", "Harbour"},
        {"#\t Harbour", "Harbour"},
        {"##Harbour", "#Harbour"},
        {"Harbour #2", "Harbour #2"},
        {"#", "Forest"},
        {"#  ", "Forest"},
        {"# X", "Forest"},
    });
}

TEST(DesText, UnusableNamesFallBackToTheFolderName) {
    const std::string longest(63, 'm');
    ExpectNamesOfCandidates({
        {"Baby Room", "Forest"}, {"Profile", "Forest"},  {"BY THE SEA", "Forest"}, {"Winter 2005", "Forest"},
        {"Map v1.0", "Forest"},  {"Createria", "Forest"}, {"X", "Forest"},         {"XY", "XY"},
        {longest, longest},      {longest + "m", "Forest"},  // a map block holds at most 63 bytes
        {"Na\0me"s, "Forest"},  // nor a NUL, which would end the name early
    });
}

TEST(DesText, GbkTrailBytesAreNeitherLettersNorWordStarts) {
    // 81 42 ends in 'B', 81 62 in 'b', 81 46 in 'F', D5 5C in '\': next to
    // "y" or "ile" a byte scan would see the words "by" and "file".
    const std::string cases[] = {"\x81\x42y Town", "\x81\x62y", "\x81\x46ile", "\xD5\x5C Hall"};
    for (const std::string& name : cases) {
        EXPECT_TRUE(IsValidMapName(name)) << name;
        EXPECT_EQ(NameFromFile("Header\r\n" + name + "\r\nSceneObjects\r\n"), name) << name;
    }
}

TEST(DesText, EmptyOrUnconvertibleFilesGiveTheFolderName) {
    EXPECT_EQ(NameFromFile(""), "Forest");
    EXPECT_EQ(NameFromFile(Utf16("Na\0me\r\nSceneObjects\r\n"s, false)), "Forest");  // the unit 0000 decodes to a NUL
    EXPECT_EQ(NameFromFile("\xEF\xBB\xBF"), "Forest");
    EXPECT_EQ(MapNameFromDesFile("\xEF\xBB\xBF" "Dark Forest\n\xFFSceneObjects", "Forest", Utf8ToGbkStrict,
                                 Utf16LeToGbk),
              "Forest");
}
