// The map index file over bytes: block recognition, the block list, the
// stored count and the block AutoRes writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "autores/ResFormat.h"
#include "support/ResBytes.h"

using namespace modroute;

namespace {

using testsupport::Bytes;
using testsupport::GameBlock;
using testsupport::Hex;
using testsupport::Text;
using testsupport::operator+;

Bytes Header(std::uint16_t count) { return testsupport::ResHeader(count); }

Bytes Block(int number, const std::string& name) {
    return BuildMapBlock({number, name, FormatMapKey(number), false, 63, 5, 0});
}

}  // namespace

TEST(ResFormat, BlockIsTheGamesLayoutByteForByte) {
    const Bytes expected = Hex("05 00 00 00  07 00 00 00  0C 00 00 00") + Text("Dark Forest") + Hex("00") +
                           Hex("05 00 00 00") + Text("SN07") + Hex("00  01  00 00 00 00  03 00 00 00  0B 00 00 00") +
                           Hex("3F 00 00 00  00 00 00 00  0C 00 00 00  05 00 00 00  00 00 00 00  01 00 00 00") +
                           Hex("00 00 00 00  00 00 00 00 00 00 00 00");
    EXPECT_EQ(Block(7, "Dark Forest"), expected);
    EXPECT_EQ(expected.size(), std::string("Dark Forest").size() + 71);

    // Flag and the three values each land in their own field.
    const Bytes flagged = BuildMapBlock({12, "Bay", "SN12", true, 0x11, 0x22, 0x33});
    ASSERT_EQ(flagged.size(), 3u + 71);
    const Bytes tail(flagged.begin() + 3 + 22, flagged.end());
    EXPECT_EQ(tail, Hex("01  00 00 00 00  03 00 00 00  0A 00 00 00  11 00 00 00  00 00 00 00  0C 00 00 00") +
                        Hex("22 00 00 00  00 00 00 00  01 00 00 00  33 00 00 00") + Bytes(8, 0));

    // A three-digit key carries its own length; the padding shrinks by one.
    const Bytes abyss = Block(100, "Abyss");
    ASSERT_EQ(abyss.size(), 5u + 71);
    EXPECT_EQ(Bytes(abyss.begin() + 18, abyss.begin() + 29), Hex("06 00 00 00") + Text("SN100") + Hex("00 01"));
    EXPECT_EQ(Bytes(abyss.end() - 15, abyss.end()), Hex("01 00 00 00") + Bytes(11, 0));
}

TEST(ResFormat, BuiltBlocksReadBackInFileOrder) {
    // 誠 (D5 5C) and 乀 (81 5A) carry '\' and 'Z' as trail bytes.
    const std::string longest(63, 'L');
    const std::vector<ResMapRecord> expected = {
        {"\xD5\x5C\x81\x5A", 1, "sn01"}, {"Q", 9, "sn09"},     {longest, 10, "sn10"},
        {"Harbour", 99, "sn99"},         {"Keep", 100, "sn100"}, {"Last", 255, "sn255"},
    };
    Bytes file = Header(716);
    for (const ResMapRecord& record : expected) file = file + Block(record.number, record.internalName);

    EXPECT_EQ(ScanMapBlocks(file), expected);
    EXPECT_EQ(FindFirstMapBlock(file), kResHeaderSize);
}

TEST(ResFormat, BlocksTheReaderCouldNotReadBackAreRefused) {
    const std::pair<int, std::string> refused[] = {
        {0, "Name"},  {256, "Name"},  {-1, "Name"},  {1, ""}, {1, std::string(64, 'x')},
        {1, std::string("Na\0me", 5)},
    };
    for (const auto& [number, name] : refused) {
        EXPECT_TRUE(BuildMapBlock({number, name, "SN01", false, 63, 5, 0}).empty()) << number << " " << name.size();
    }
}

TEST(ResFormat, BlockStartRuleBounds) {
    // A block with a name of (lengthByte - 1) bytes at offset 54, followed by
    // `after` bytes that are not part of the name.
    const auto file = [](std::uint8_t number, std::uint8_t lengthByte, std::size_t nameBytes) {
        return Header(711) + Hex("05 00 00 00") + Bytes{number, 0, 0, 0, lengthByte, 0, 0, 0} + Bytes(nameBytes, 'n');
    };
    struct Case {
        const char* what;
        Bytes bytes;
        bool isBlock;
    };
    const Case cases[] = {
        {"length byte 1", file(1, 1, 20), false},
        {"length byte 64, name fits", file(1, 64, 63), true},
        {"length byte 64, name one byte short", file(1, 64, 62), false},
        {"length byte 65", file(1, 65, 70), false},
        {"number 0", file(0, 8, 20), false},
        {"offset + 16 == size", file(1, 2, 4), false},
        {"offset + 16 < size", file(1, 2, 5), true},
        {"tag not 5", Header(711) + Hex("05 00 01 00  01 00 00 00  04 00 00 00") + Text("abcdef"), false},
    };
    for (const Case& c : cases) EXPECT_EQ(IsMapBlockStart(c.bytes, kResHeaderSize), c.isBlock) << c.what;
    EXPECT_FALSE(IsMapBlockStart(file(1, 2, 5), 1000));
}

TEST(ResFormat, StoredCountIsLittleEndianAtBytes52And53OfAWholeHeader) {
    const Bytes header = Header(0x1234);
    const Bytes short53(header.begin(), header.end() - 1);
    EXPECT_EQ(ReadStoredCount(short53), std::nullopt);
    EXPECT_EQ(ReadStoredCount(header), 0x1234);
    EXPECT_TRUE(ScanMapBlocks(header).empty());
    EXPECT_EQ(FindFirstMapBlock(header), std::nullopt);
    Bytes writable = short53;
    EXPECT_FALSE(WriteStoredCount(writable, 712));
    EXPECT_EQ(writable, short53);

    Bytes file = Header(710) + Block(1, "Bay");
    const Bytes before = file;
    ASSERT_TRUE(WriteStoredCount(file, 712));
    EXPECT_EQ(Bytes(file.begin() + 52, file.begin() + 54), Hex("C8 02"));
    file[52] = before[52];
    file[53] = before[53];
    EXPECT_EQ(file, before);  // nothing else moved
}

TEST(ResFormat, GamesOwnIndexListsOnlyItsBlocks) {
    // The header may hold a block-like pattern; it is the game's and not a map.
    Bytes file = Header(713);
    const Bytes headerBlockLike = Hex("05 00 00 00  01 00 00 00  03 00 00 00") + Text("ab");
    std::copy(headerBlockLike.begin(), headerBlockLike.end(), file.begin() + 10);

    // Further game data before the first block: tags whose number byte is 0
    // or whose length byte is out of range.
    const Bytes further = Hex("05 00 00 00  00 00 00 00  08 00 00 00  05 00 00 00  07 00 00 00  41 00 00 00") +
                          Bytes(70, 0x20);
    file = file + further;
    const std::size_t firstBlock = file.size();

    // Tails of unknown layout, among them a u32 5 before a NUL length byte.
    const std::string town = "\xB3\xC7\xD5\x5C";  // GBK, second character with a '\' trail byte
    file = file + GameBlock(1, town, Hex("01 00 00 00 00 02 00 00 00 05 00 00 00 00 00 00 00 00 FF FF"));
    const std::size_t secondBlock = file.size();
    file = file + GameBlock(2, "Snow Pass", Hex("01 05 00 00 00 01 00 00 00 00") + Bytes(40, 0x77));
    const std::size_t thirdBlock = file.size();
    file = file + GameBlock(12, "Citadel", Hex("00 00 00 00 05 00 00 00"));

    EXPECT_EQ(ScanMapBlocks(file),
              (std::vector<ResMapRecord>{{town, 1, "sn01"}, {"Snow Pass", 2, "sn02"}, {"Citadel", 12, "sn12"}}));
    EXPECT_EQ(FindFirstMapBlock(file), firstBlock);
    EXPECT_EQ(MapBlockOffsets(file), (std::vector<std::size_t>{firstBlock, secondBlock, thirdBlock}));
    EXPECT_EQ(ReadMapBlock(file, thirdBlock), (ResMapRecord{"Citadel", 12, "sn12"}));
    EXPECT_FALSE(ReadMapBlock(file, thirdBlock + 1));
    EXPECT_FALSE(ReadMapBlock(file, 10));  // the header's pattern
    EXPECT_EQ(ReadStoredCount(file), 713);
}
