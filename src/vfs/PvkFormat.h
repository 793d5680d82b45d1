// The PVK pack format over bytes: the header, the entry table at the start of
// the content block and where each entry's data lies, the keys under which
// entries are stored, the archive index, and a writer of whole packs. Pure
// code: nothing here reads past the bytes it is given, whatever offsets and
// sizes a damaged pack declares. All integers are little-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/Utf8Text.h"

namespace modroute {


// Magic, version, 896 uninterpreted bytes and the variable block length L.
inline constexpr std::size_t kPvkFixedHeadSize = 908;
// Follows the variable block; holds the content offset (+164) and size (+168).
inline constexpr std::size_t kPvkSecondPartSize = 208;
// Size, B, C, D2, E (32-bit each) and F (64-bit) after an entry's two strings.
inline constexpr std::size_t kPvkEntryFixedSize = 28;

struct PvkHeader {
    std::uint32_t version = 0;
    std::uint32_t variableBlockSize = 0;  // L
    std::uint32_t contentOffset = 0;      // absolute file offset of the content block
    std::uint32_t contentSize = 0;        // as declared; the file may hold less

    std::uint64_t SecondPartOffset() const { return kPvkFixedHeadSize + std::uint64_t{variableBlockSize}; }
    std::uint64_t End() const { return SecondPartOffset() + kPvkSecondPartSize; }
};

// The first 908 bytes of a pack: version and L, contents still zero. Nothing
// when fewer bytes are given or the magic is not "PVK2".
std::optional<PvkHeader> ParsePvkFixedHead(std::span<const std::uint8_t> bytes);

// Fills the content offset and size from the 208-byte second part; false when
// fewer bytes are given.
bool ParsePvkSecondPart(std::span<const std::uint8_t> bytes, PvkHeader& header);

// The whole header from a pack's leading bytes, as a reader does it in steps.
std::optional<PvkHeader> ParsePvkHeader(std::span<const std::uint8_t> fileBytes);

// The part of the declared content block that the file really holds: a block
// that runs past the end of the file is cut there, one that starts beyond it
// is empty. Reading never allocates more than the file can give.
struct PvkContentExtent {
    std::uint64_t offset = 0;
    std::uint32_t size = 0;
};
PvkContentExtent PvkContentInFile(const PvkHeader& header, std::uint64_t fileSize);

// One entry of a pack's table. Its data is not copied: it lies at dataOffset
// within the content block, so every entry can share the one block buffer.
struct PvkEntry {
    std::string name;       // as stored: UTF-8 or code page 936
    std::string directory;  // as stored, or the pack's stem after defaulting
    std::uint32_t size = 0;
    std::uint32_t fieldB = 0;  // B, D2, E and F are carried, never interpreted
    std::uint32_t fieldD2 = 0;
    std::uint32_t fieldE = 0;
    std::uint64_t fieldF = 0;
    std::uint32_t dataOffset = 0;  // within the content block; meaningful when hasData
    bool hasData = false;          // the data lies wholly inside the content block
    std::string key;               // CleanPath of the UTF-8 full path, once named
    // The key under the other reading of names whose bytes are both UTF-8
    // and code page 936 text; empty for any other entry.
    std::string otherKey;
};

struct PvkEntryTable {
    std::vector<PvkEntry> entries;
    // The table runs on past the bytes given, which are fewer than the block:
    // the caller reads more of the block and parses again.
    bool needsMoreBytes = false;
    // The table ended with its 16-bit zero inside the block; the data region
    // starts at dataStart. Without a terminator it starts at the block's end.
    bool terminated = false;
    std::uint32_t dataStart = 0;
};

// Parses the table from blockStart, the leading bytes (or all) of a content
// block of blockSize bytes, then places the data after its 16-bit terminator
// in table order. A table that breaks off inside the block ends there with
// the entries read whole, none of them with data. An entry whose data would
// run past the block has no data, nor has any entry after it: the pack was
// cut short there.
PvkEntryTable ParsePvkEntryTable(std::span<const std::uint8_t> blockStart, std::uint32_t blockSize);

// text unchanged when it is valid UTF-8 made of 1- to 3-byte characters,
// otherwise converted from code page 936. Bytes that are both, and read as
// UTF-8 give no character a Western name would use beyond Latin letters,
// are taken for the code page 936 text they more plausibly are.
std::string ToUtf8IfNeeded(std::string_view text, TextConverter gbkToUtf8);
// The reading ToUtf8IfNeeded did not take, for bytes valid both ways; empty
// when there is no other.
std::string OtherUtf8Reading(std::string_view text, TextConverter gbkToUtf8);

// The pack file name between its last separator and its last '.'; empty when
// that name has no '.'. The directory of a pack's loose files.
std::string PvkPackStem(std::string_view packPath);

// CleanPath of UTF-8 directory + '\' + UTF-8 name; just the name when the
// directory is empty. Empty (no key) when the name or a directory cannot be
// converted.
std::string PvkEntryKey(std::string_view directory, std::string_view name, TextConverter gbkToUtf8);

// Gives entries without a directory (except "render.json") the pack's stem
// as directory, then keys every entry, under both readings where its bytes
// have two.
void NamePvkEntries(std::vector<PvkEntry>& entries, std::string_view packPath, TextConverter gbkToUtf8);

// Where a file's data lies in its pack.
struct PvkRange {
    std::uint64_t offset = 0;  // absolute file offset
    std::uint32_t size = 0;
};
using PvkIndex = std::map<std::string, PvkRange>;

// Key -> data range for every named entry with data, the block being the one
// PvkContentInFile gives (so every range lies inside the file). A later entry
// replaces an earlier one of the same key.
PvkIndex BuildPvkIndex(const std::vector<PvkEntry>& entries, std::uint64_t contentOffset);

// A pack held in memory, parsed as the file reader parses it from disk.
struct PvkPackView {
    PvkHeader header;
    PvkContentExtent content;
    std::vector<PvkEntry> entries;  // named
};
std::optional<PvkPackView> ParsePvkPack(std::span<const std::uint8_t> fileBytes, std::string_view packPath,
                                        TextConverter gbkToUtf8);

// One file of a pack to be written; its data is viewed, not copied, until
// the pack is written.
struct PvkPackEntry {
    std::string name;       // 1 to 65535 bytes
    std::string directory;  // 0 to 65535 bytes
    std::span<const std::uint8_t> data;
    std::uint32_t fieldB = 0;
    std::uint32_t fieldC = 0;
    std::uint32_t fieldD2 = 0;
    std::uint32_t fieldE = 0;
    std::uint64_t fieldF = 0;
};

struct PvkWriteOptions {
    std::uint32_t version = 4;
    std::span<const std::uint8_t> variableBlock;  // written after L, uninterpreted
    // Where the content block starts; right after the header when not given.
    // The bytes between the header and the block are zero.
    std::optional<std::uint32_t> contentOffset;
};

enum class PvkWriteError {
    None,
    EmptyName,                  // a name of length 0 would end the table
    NameTooLong,                // longer than its 16-bit length field
    DirectoryTooLong,
    TooLarge,                   // a 32-bit field would overflow, or the pack exceed memory
    ContentOffsetInsideHeader,  // the block would overwrite the header
};

// Writes a whole pack into out (replacing its contents) in one allocation:
// zero header bytes but for magic, version, L, content offset and size.
PvkWriteError WritePvk(std::span<const PvkPackEntry> entries, const PvkWriteOptions& options,
                       std::vector<std::uint8_t>& out);

}  // namespace modroute
