// Map names from model description files. The fuzz target checks decoding
// and naming on any bytes; these are the encodings the game's files come in
// and one case of each naming rule.
#include <gtest/gtest.h>

#include <string>

#include "autores/DesText.h"
#include "common/TextEncoding.h"

using namespace modroute;
using namespace std::string_literals;

namespace {

// UTF-16 little-endian byte pairs -> code page 936. Only whole pairs may be handed over.
std::string Utf16LeToGbk(std::string_view bytes) {
    if (bytes.size() % 2 != 0) return "<odd byte count>";
    std::wstring wide;
    for (std::size_t i = 0; i < bytes.size(); i += 2) wide.push_back(wchar_t(std::uint8_t(bytes[i]) | std::uint8_t(bytes[i + 1]) << 8));
    return Utf8ToGbk(WideToUtf8(wide));
}

std::string NameFromFile(std::string_view bytes) { return MapNameFromDesFile(bytes, "Forest", Utf8ToGbk, Utf16LeToGbk); }

std::string Utf16(std::string_view utf8, bool bigEndian) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const wchar_t unit : Utf8ToWide(utf8)) {
        const char low = static_cast<char>(unit & 0xFF), high = static_cast<char>(unit >> 8);
        bytes += bigEndian ? std::string{high, low} : std::string{low, high};
    }
    return bytes;
}

}  // namespace

TEST(DesText, EveryEncodingGivesTheSameGbkName) {
    const std::string name = "黑暗森林", utf8 = "GModel Description File V1.0\r\n" + name + "\r\nSceneObjects 12\r\n";
    for (const std::string& bytes : {"\xEF\xBB\xBF" + utf8, Utf16(utf8, false), Utf16(utf8, true), utf8, Utf8ToGbk(utf8)}) {
        EXPECT_EQ(NameFromFile(bytes), Utf8ToGbk(name)) << bytes;
    }
    EXPECT_EQ(NameFromFile(Utf16("Na\0me\r\nSceneObjects\r\n"s, false)), "Forest");  // the unit 0000 is a NUL
    EXPECT_EQ(DecodeDesText("\xFE\xFF" "\0A\0"s, Utf8ToGbk, Utf16LeToGbk), "A");  // an odd last byte is dropped
}

TEST(DesText, NameIsTheUsableLineAboveTheLastSceneObjectsLine) {
    const std::string longest(63, 'm');
    const std::pair<std::string, std::string> cases[] = {
        {"First\nSceneObjects\nSecond\nSceneObjects 3\nobjects...\n", "Second"},
        {"Name\n\x81SceneObjects\n", "Forest"},       // 'S' is the trail byte of a GBK character
        {"Real Name\n \t \nSceneObjects", "Forest"},  // a blank line above is not skipped
        {"Old Harbour\nbuilt by Alden Voss\nSceneObjects", "Old Harbour"},  // a header line gives way
        {"Winter 2005\nSceneObjects", "Forest"},
        {"X\nSceneObjects", "Forest"},
        {longest + "\nSceneObjects", longest},
        {longest + "m\nSceneObjects", "Forest"},  // a map block holds at most 63 bytes
    };
    for (const auto& [text, name] : cases) EXPECT_EQ(MapNameFromDesText(text, "Forest"), name) << text;
    // 81 42 ends in 'B', 81 46 in 'F': next to "y" or "ile" a byte scan would
    // see the words "by" and "file".
    for (const std::string name : {"\x81\x42y Town", "\x81\x46ile"}) {
        EXPECT_EQ(NameFromFile("Header\r\n" + name + "\r\nSceneObjects\r\n"), name) << name;
    }
}
