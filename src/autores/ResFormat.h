// The map index file Tavren.res over its bytes: the stored map count, the rule
// that recognises a map block, the list of blocks and the encoder of the block
// AutoRes appends. The 52 header bytes and the game's own block tails are
// copied, never decoded. Little-endian throughout. Pure code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/MapId.h"

namespace modroute {

// 52 header bytes, then the stored count as u16 at 52 (low byte) and 53.
constexpr std::size_t kResHeaderSize = 54;
constexpr std::size_t kResCountOffset = 52;
// The stored count of an index without map blocks; count = this + blocks.
constexpr std::uint16_t kResBaseCount = 710;
// A block stores the name length with its NUL in one byte that the reader
// accepts from 2 to 64, so a name holds 1 to 63 bytes.
constexpr std::size_t kMaxMapNameLength = 63;
// Where a block's leading fields lie from its start: the tag (u32 5), the
// number, the name length with its NUL, the name.
constexpr std::size_t kMapBlockNumberOffset = 4;
constexpr std::size_t kMapBlockNameLengthOffset = 8;
constexpr std::size_t kMapBlockNameOffset = 12;

using ResBytes = std::span<const std::uint8_t>;

// One map block as read.
struct ResMapRecord {
    std::string internalName;  // the map name, GBK, without its NUL
    int number = 0;            // the low byte of the block's number, 1..255
    std::string key;           // "sn" + number with at least two digits: sn07, sn100

    bool operator==(const ResMapRecord&) const = default;
};

// "SN07", "SN100": the folder key written into a block and used by the
// SnDirectoryMap. "sn07", "sn100": the key of a record as read.
std::string FormatMapKey(int number);
std::string FormatRecordKey(int number);

// True when a map block starts at offset: offset + 16 < size, the tag
// 05 00 00 00, a number byte of at least 1, a name length byte (NUL included)
// of 2..64, and the name inside the file.
bool IsMapBlockStart(ResBytes file, std::size_t offset);

// The block at offset as the reader takes it; nothing when no block starts
// there, or the offset lies inside the header.
std::optional<ResMapRecord> ReadMapBlock(ResBytes file, std::size_t offset);

// Where the blocks start, after the header, in file order. The scan steps
// one byte at a time and goes on after a found block's name (NUL included):
// its number and name bytes never start another block. Empty for a file
// shorter than the header.
std::vector<std::size_t> MapBlockOffsets(ResBytes file);

// Every block at MapBlockOffsets, in file order.
std::vector<ResMapRecord> ScanMapBlocks(ResBytes file);

// Offset of the first block after the header, or nothing.
std::optional<std::size_t> FindFirstMapBlock(ResBytes file);

// The stored count (710 + number of blocks); nothing for a file shorter than
// the header.
std::optional<std::uint16_t> ReadStoredCount(ResBytes file);
// Writes the count into a file of at least the header's size; false otherwise.
bool WriteStoredCount(std::span<std::uint8_t> file, std::uint16_t count);

struct MapBlockInput {
    int number = 0;       // 1..255
    std::string mapName;  // GBK, 1..63 bytes, no NUL
    std::string key;      // FormatMapKey(number)
    bool flag = false;    // stores 10 instead of 11
    // The three one-byte fields of the block's tail, named by where they
    // stand; the game's meaning of them is not known, only these values.
    std::uint8_t tailAfterFlag = 63;
    std::uint8_t tailAfterTwelve = 5;
    std::uint8_t tailLast = 0;
};

// The block AutoRes appends to a RES: mapName.size() + 71 bytes for a key of
// four characters. Empty when the block could not be read back: a number
// outside 1..255, or a name that is empty, longer than 63 bytes or holds a NUL.
std::vector<std::uint8_t> BuildMapBlock(const MapBlockInput& input);

}  // namespace modroute
