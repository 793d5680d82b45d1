// The map index file over bytes. The fuzz targets check the block encoder
// against the scan, and the scan of any bytes after any header; these cases
// pin the game's layout and the edges of the block rule.
#include <gtest/gtest.h>

#include "autores/ResFormat.h"
#include "support/ResBytes.h"

using namespace modroute;
using testsupport::Bytes;
using testsupport::Hex;
using testsupport::Text;
using testsupport::operator+;

TEST(ResFormat, BlockIsTheGamesLayoutByteForByte) {
    const Bytes expected = Hex("05 00 00 00  07 00 00 00  0C 00 00 00") + Text("Dark Forest") + Hex("00") +
                           Hex("05 00 00 00") + Text("SN07") + Hex("00  01  00 00 00 00  03 00 00 00  0B 00 00 00") +
                           Hex("3F 00 00 00  00 00 00 00  0C 00 00 00  05 00 00 00  00 00 00 00  01 00 00 00") +
                           Hex("00 00 00 00  00 00 00 00 00 00 00 00");
    EXPECT_EQ(BuildMapBlock({7, "Dark Forest", "SN07", false, 63, 5, 0}), expected);
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
    // Map 5's number field reads as a tag, and a name starting with a digit as a name length: no block there.
    const Bytes maps = testsupport::ResHeader(712) + BuildMapBlock({5, "1st Pass", "SN05"}) + BuildMapBlock({6, "Six", "SN06"});
    EXPECT_EQ(ScanMapBlocks(maps), (std::vector<ResMapRecord>{{"1st Pass", 5, "sn05"}, {"Six", 6, "sn06"}}));
    const Bytes short53(53, 0);
    EXPECT_EQ(ReadStoredCount(short53), std::nullopt);
}

