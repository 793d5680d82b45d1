// The map index file over bytes. The fuzz targets check the block encoder
// against the scan and the scan on any bytes; these cases pin the game's
// layout and the edges of the block rule.
#include <gtest/gtest.h>

#include <algorithm>

#include "autores/ResFormat.h"
#include "support/ResBytes.h"

using namespace modroute;
using testsupport::Bytes;
using testsupport::GameBlock;
using testsupport::Hex;
using testsupport::Text;
using testsupport::operator+;

TEST(ResFormat, BlockIsTheGamesLayoutByteForByte) {
    const Bytes expected = Hex("05 00 00 00  07 00 00 00  0C 00 00 00") + Text("Dark Forest") + Hex("00") +
                           Hex("05 00 00 00") + Text("SN07") + Hex("00  01  00 00 00 00  03 00 00 00  0B 00 00 00") +
                           Hex("3F 00 00 00  00 00 00 00  0C 00 00 00  05 00 00 00  00 00 00 00  01 00 00 00") +
                           Hex("00 00 00 00  00 00 00 00 00 00 00 00");
    EXPECT_EQ(BuildMapBlock({7, "Dark Forest", "SN07", false, 63, 5, 0}), expected);
    // A three-digit key carries its own length; the padding shrinks by one.
    const Bytes abyss = BuildMapBlock({100, "Abyss", FormatMapKey(100), false, 63, 5, 0});
    EXPECT_EQ(Bytes(abyss.begin() + 18, abyss.begin() + 29), Hex("06 00 00 00") + Text("SN100") + Hex("00 01"));
    EXPECT_EQ(abyss.size(), 5u + 71);
    EXPECT_TRUE(BuildMapBlock({1, std::string(64, 'x'), "SN01", false, 63, 5, 0}).empty());
}

TEST(ResFormat, BlockStartRuleBoundsAndTheStoredCount) {
    // A block with a name of (lengthByte - 1) bytes at offset 54, then nameBytes bytes.
    const auto file = [](std::uint8_t lengthByte, std::size_t nameBytes) {
        return testsupport::ResHeader(711) + Hex("05 00 00 00  01 00 00 00") + Bytes{lengthByte, 0, 0, 0} + Bytes(nameBytes, 'n');
    };
    EXPECT_TRUE(IsMapBlockStart(file(64, 63), kResHeaderSize));
    EXPECT_FALSE(IsMapBlockStart(file(64, 62), kResHeaderSize));  // name one byte short
    EXPECT_FALSE(IsMapBlockStart(file(2, 4), kResHeaderSize));    // offset + 16 == size
    EXPECT_TRUE(IsMapBlockStart(file(2, 5), kResHeaderSize));
    const Bytes short53(53, 0);
    EXPECT_EQ(ReadStoredCount(short53), std::nullopt);
}

TEST(ResFormat, GamesOwnIndexListsOnlyItsBlocks) {
    // The header may hold a block-like pattern; it is the game's and not a map.
    Bytes file = testsupport::ResHeader(713);
    const Bytes headerBlockLike = Hex("05 00 00 00  01 00 00 00  03 00 00 00") + Text("ab");
    std::copy(headerBlockLike.begin(), headerBlockLike.end(), file.begin() + 10);
    // Further game data before the first block: tags whose number byte is 0
    // or whose length byte is out of range.
    file = file + Hex("05 00 00 00  00 00 00 00  08 00 00 00  05 00 00 00  07 00 00 00  41 00 00 00") + Bytes(70, 0x20);
    const std::size_t firstBlock = file.size();
    // Tails of unknown layout, among them a u32 5 before a NUL length byte.
    const std::string town = "\xB3\xC7\xD5\x5C";  // GBK, second character with a '\' trail byte
    file = file + GameBlock(1, town, Hex("01 00 00 00 00 02 00 00 00 05 00 00 00 00 00 00 00 00 FF FF"));
    file = file + GameBlock(2, "Snow Pass", Hex("01 05 00 00 00 01 00 00 00 00") + Bytes(40, 0x77));
    file = file + GameBlock(12, "Citadel", Hex("00 00 00 00 05 00 00 00"));
    EXPECT_EQ(ScanMapBlocks(file),
              (std::vector<ResMapRecord>{{town, 1, "sn01"}, {"Snow Pass", 2, "sn02"}, {"Citadel", 12, "sn12"}}));
    EXPECT_EQ(FindFirstMapBlock(file), firstBlock);
    EXPECT_EQ(ReadStoredCount(file), 713);
}
