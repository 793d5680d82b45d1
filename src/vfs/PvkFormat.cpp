#include "vfs/PvkFormat.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "common/PathText.h"

namespace modroute {
namespace {

constexpr std::uint8_t kMagic[4] = {'P', 'V', 'K', '2'};
constexpr std::size_t kVersionAt = 4;
constexpr std::size_t kVariableBlockSizeAt = 904;
constexpr std::size_t kContentOffsetAt = 164;  // within the second part
constexpr std::size_t kContentSizeAt = 168;
constexpr std::uint64_t kMaxField32 = std::numeric_limits<std::uint32_t>::max();
constexpr std::uint64_t kMaxField16 = std::numeric_limits<std::uint16_t>::max();

std::uint64_t ReadLittleEndian(std::span<const std::uint8_t> bytes, std::size_t at, std::size_t width) {
    std::uint64_t value = 0;
    for (std::size_t i = width; i-- > 0;) value = (value << 8) | bytes[at + i];
    return value;
}

std::uint16_t ReadU16(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint16_t>(ReadLittleEndian(bytes, at, 2));
}
std::uint32_t ReadU32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint32_t>(ReadLittleEndian(bytes, at, 4));
}
std::uint64_t ReadU64(std::span<const std::uint8_t> bytes, std::size_t at) { return ReadLittleEndian(bytes, at, 8); }

std::string ReadText(std::span<const std::uint8_t> bytes, std::size_t at, std::size_t length) {
    return std::string(reinterpret_cast<const char*>(bytes.data() + at), length);
}

// Reads the table records; returns where the data region starts, or nothing
// when the table runs past the bytes given. Every bound is checked against
// the bytes that are there, so a damaged table is never read beyond them.
std::optional<std::size_t> ParseTableRecords(std::span<const std::uint8_t> bytes, std::vector<PvkEntry>& entries) {
    std::size_t at = 0;
    const auto remaining = [&] { return bytes.size() - at; };
    while (true) {
        if (remaining() < 2) return std::nullopt;
        const std::size_t nameLength = ReadU16(bytes, at);
        at += 2;
        if (nameLength == 0) return at;
        if (remaining() < nameLength + 2) return std::nullopt;
        PvkEntry entry;
        entry.name = ReadText(bytes, at, nameLength);
        at += nameLength;
        const std::size_t directoryLength = ReadU16(bytes, at);
        at += 2;
        // A directory that breaks off ends the table rather than letting its
        // bytes be taken for the fixed fields.
        if (remaining() < directoryLength + kPvkEntryFixedSize) return std::nullopt;
        entry.directory = ReadText(bytes, at, directoryLength);
        at += directoryLength;
        entry.size = ReadU32(bytes, at);
        entry.fieldB = ReadU32(bytes, at + 4);
        // C at +8 is not kept.
        entry.fieldD2 = ReadU32(bytes, at + 12);
        entry.fieldE = ReadU32(bytes, at + 16);
        entry.fieldF = ReadU64(bytes, at + 20);
        at += kPvkEntryFixedSize;
        entries.push_back(std::move(entry));
    }
}

// Appends little-endian fields and bytes into a buffer sized once beforehand.
class PackCursor {
public:
    explicit PackCursor(std::vector<std::uint8_t>& out) : m_out(out) {}

    void Skip(std::uint64_t count) { m_at += static_cast<std::size_t>(count); }
    void SkipTo(std::uint64_t position) { m_at = static_cast<std::size_t>(position); }
    void PutBytes(std::span<const std::uint8_t> bytes) {
        if (!bytes.empty()) std::memcpy(m_out.data() + m_at, bytes.data(), bytes.size());
        m_at += bytes.size();
    }
    void PutText(std::string_view text) {
        PutBytes({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
    }
    void Put(std::uint64_t value, std::size_t width) {
        for (std::size_t i = 0; i < width; ++i) m_out[m_at++] = static_cast<std::uint8_t>(value >> (8 * i));
    }

private:
    std::vector<std::uint8_t>& m_out;
    std::size_t m_at = 0;
};

PvkWriteError CheckEntry(const PvkPackEntry& entry) {
    if (entry.name.empty()) return PvkWriteError::EmptyName;
    if (entry.name.size() > kMaxField16) return PvkWriteError::NameTooLong;
    if (entry.directory.size() > kMaxField16) return PvkWriteError::DirectoryTooLong;
    if (entry.data.size() > kMaxField32) return PvkWriteError::TooLarge;
    return PvkWriteError::None;
}

}  // namespace

std::optional<PvkHeader> ParsePvkFixedHead(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kPvkFixedHeadSize) return std::nullopt;
    if (!std::equal(std::begin(kMagic), std::end(kMagic), bytes.begin())) return std::nullopt;
    PvkHeader header;
    header.version = ReadU32(bytes, kVersionAt);
    header.variableBlockSize = ReadU32(bytes, kVariableBlockSizeAt);
    return header;
}

bool ParsePvkSecondPart(std::span<const std::uint8_t> bytes, PvkHeader& header) {
    if (bytes.size() < kPvkSecondPartSize) return false;
    header.contentOffset = ReadU32(bytes, kContentOffsetAt);
    header.contentSize = ReadU32(bytes, kContentSizeAt);
    return true;
}

std::optional<PvkHeader> ParsePvkHeader(std::span<const std::uint8_t> fileBytes) {
    std::optional<PvkHeader> header = ParsePvkFixedHead(fileBytes);
    if (!header || header->End() > fileBytes.size()) return std::nullopt;
    const auto secondPart = fileBytes.subspan(static_cast<std::size_t>(header->SecondPartOffset()));
    if (!ParsePvkSecondPart(secondPart, *header)) return std::nullopt;
    return header;
}

PvkContentExtent PvkContentInFile(const PvkHeader& header, std::uint64_t fileSize) {
    PvkContentExtent extent;
    extent.offset = header.contentOffset;
    if (extent.offset < fileSize) {
        extent.size = static_cast<std::uint32_t>(std::min<std::uint64_t>(header.contentSize, fileSize - extent.offset));
    }
    return extent;
}

PvkEntryTable ParsePvkEntryTable(std::span<const std::uint8_t> blockStart, std::uint32_t blockSize) {
    if (blockStart.size() > blockSize) blockStart = blockStart.first(blockSize);
    PvkEntryTable table;
    std::optional<std::size_t> dataStart = ParseTableRecords(blockStart, table.entries);
    table.terminated = dataStart.has_value();
    if (!dataStart) {
        if (blockStart.size() < blockSize) {
            table.needsMoreBytes = true;
            return table;
        }
        dataStart = blockStart.size();  // no terminator: the table took the whole block
    }
    table.dataStart = static_cast<std::uint32_t>(*dataStart);
    // Without its terminator the table was cut: where the data starts is unknown.
    if (!table.terminated) return table;
    std::uint64_t position = *dataStart;
    for (PvkEntry& entry : table.entries) {
        // Data lies end to end: past the first entry the block cannot hold,
        // no later entry's bytes are where the table says.
        if (position + entry.size > blockSize) break;
        entry.dataOffset = static_cast<std::uint32_t>(position);
        entry.hasData = true;
        position += entry.size;
    }
    return table;
}

namespace {

// Whether text that is valid UTF-8 reads more plausibly as code page 936:
// only one- and two-byte characters, one of them beyond the accented Latin
// letters (U+00A0 to U+017F) a Western name uses. About one GB2312
// character in seven is such a two-byte sequence: a name of them is
// Chinese, not Hebrew or Cyrillic.
bool ReadsAsGbk(std::string_view utf8) {
    bool beyondLatin = false;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        if (lead >= 0xE0) return false;  // a three-byte character: UTF-8 indeed
        const unsigned codePoint = ((lead & 0x1Fu) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu);
        beyondLatin = beyondLatin || codePoint < 0xA0 || codePoint > 0x17F;
        i += 2;
    }
    return beyondLatin;
}

// The code page 936 reading, or empty when the bytes are not GBK text.
std::string GbkReading(std::string_view text, TextConverter gbkToUtf8) {
    std::string reading = gbkToUtf8(text);
    return reading.find("\xEF\xBF\xBD") == std::string::npos ? reading : std::string();  // U+FFFD: not GBK
}

}  // namespace

std::string ToUtf8IfNeeded(std::string_view text, TextConverter gbkToUtf8) {
    if (!IsUtf8(text, kShortUtf8)) return gbkToUtf8(text);
    if (ReadsAsGbk(text)) {
        if (std::string gbk = GbkReading(text, gbkToUtf8); !gbk.empty()) return gbk;
    }
    return std::string(text);
}

std::string OtherUtf8Reading(std::string_view text, TextConverter gbkToUtf8) {
    if (!IsUtf8(text, kShortUtf8)) return {};
    const std::string chosen = ToUtf8IfNeeded(text, gbkToUtf8);
    std::string other = chosen == text ? GbkReading(text, gbkToUtf8) : std::string(text);
    return other == chosen ? std::string() : other;
}

std::string PvkPackStem(std::string_view packPath) {
    const std::size_t separator = FindLastSeparator(packPath);
    const std::string_view fileName = separator == std::string_view::npos ? packPath : packPath.substr(separator + 1);
    const std::size_t dot = fileName.rfind('.');
    if (dot == std::string_view::npos) return {};
    return std::string(fileName.substr(0, dot));
}

std::string PvkEntryKey(std::string_view directory, std::string_view name, TextConverter gbkToUtf8) {
    const std::string utf8Directory = ToUtf8IfNeeded(directory, gbkToUtf8);
    const std::string utf8Name = ToUtf8IfNeeded(name, gbkToUtf8);
    // Keyed without its name or directory, a file would stand in for
    // another one or in the wrong folder; it gets no key instead.
    if (utf8Name.empty() || (utf8Directory.empty() && !directory.empty())) return {};
    if (utf8Directory.empty()) return CleanPath(utf8Name);
    return CleanPath(utf8Directory + '\\' + utf8Name);
}

void NamePvkEntries(std::vector<PvkEntry>& entries, std::string_view packPath, TextConverter gbkToUtf8) {
    const std::string stem = PvkPackStem(packPath);
    for (PvkEntry& entry : entries) {
        // A map's pack (sn05.pvk) puts its loose files into that map's folder;
        // render.json belongs to the game folder itself.
        if (entry.directory.empty() && entry.name != "render.json") entry.directory = stem;
        entry.key = PvkEntryKey(entry.directory, entry.name, gbkToUtf8);
        const std::string otherDirectory = OtherUtf8Reading(entry.directory, gbkToUtf8);
        const std::string otherName = OtherUtf8Reading(entry.name, gbkToUtf8);
        if (!entry.key.empty() && (!otherDirectory.empty() || !otherName.empty())) {
            const std::string directory = otherDirectory.empty() ? ToUtf8IfNeeded(entry.directory, gbkToUtf8) : otherDirectory;
            const std::string name = otherName.empty() ? ToUtf8IfNeeded(entry.name, gbkToUtf8) : otherName;
            entry.otherKey = CleanPath(directory.empty() ? name : directory + '\\' + name);
        }
    }
}

PvkIndex BuildPvkIndex(const std::vector<PvkEntry>& entries, std::uint64_t contentOffset) {
    PvkIndex index;
    for (const PvkEntry& entry : entries) {
        if (!entry.hasData || entry.key.empty()) continue;
        index[entry.key] = PvkRange{contentOffset + entry.dataOffset, entry.size};
    }
    return index;
}

std::optional<PvkPackView> ParsePvkPack(std::span<const std::uint8_t> fileBytes, std::string_view packPath,
                                        TextConverter gbkToUtf8) {
    const std::optional<PvkHeader> header = ParsePvkHeader(fileBytes);
    if (!header) return std::nullopt;
    PvkPackView pack;
    pack.header = *header;
    pack.content = PvkContentInFile(*header, fileBytes.size());
    const auto block = fileBytes.subspan(static_cast<std::size_t>(pack.content.offset), pack.content.size);
    pack.entries = ParsePvkEntryTable(block, pack.content.size).entries;
    NamePvkEntries(pack.entries, packPath, gbkToUtf8);
    return pack;
}

PvkWriteError WritePvk(std::span<const PvkPackEntry> entries, const PvkWriteOptions& options,
                       std::vector<std::uint8_t>& out) {
    std::uint64_t tableSize = 2;  // the terminator
    std::uint64_t dataSize = 0;
    for (const PvkPackEntry& entry : entries) {
        if (const PvkWriteError error = CheckEntry(entry); error != PvkWriteError::None) return error;
        tableSize += 2 + entry.name.size() + 2 + entry.directory.size() + kPvkEntryFixedSize;
        dataSize += entry.data.size();
    }
    const std::uint64_t variableBlockSize = options.variableBlock.size();
    const std::uint64_t headerEnd = kPvkFixedHeadSize + variableBlockSize + kPvkSecondPartSize;
    const std::uint64_t contentOffset = options.contentOffset.value_or(headerEnd);
    const std::uint64_t contentSize = tableSize + dataSize;
    const std::uint64_t packSize = contentOffset + contentSize;
    if (contentOffset < headerEnd) return PvkWriteError::ContentOffsetInsideHeader;
    if (variableBlockSize > kMaxField32 || contentOffset > kMaxField32 || contentSize > kMaxField32 ||
        packSize > out.max_size()) {
        return PvkWriteError::TooLarge;
    }

    out.assign(static_cast<std::size_t>(packSize), 0);  // the uninterpreted bytes stay zero
    PackCursor cursor(out);
    cursor.PutBytes(kMagic);
    cursor.Put(options.version, 4);
    cursor.SkipTo(kVariableBlockSizeAt);
    cursor.Put(variableBlockSize, 4);
    cursor.PutBytes(options.variableBlock);
    cursor.Skip(kContentOffsetAt);
    cursor.Put(contentOffset, 4);
    cursor.Put(contentSize, 4);
    cursor.SkipTo(contentOffset);
    for (const PvkPackEntry& entry : entries) {
        cursor.Put(entry.name.size(), 2);
        cursor.PutText(entry.name);
        cursor.Put(entry.directory.size(), 2);
        cursor.PutText(entry.directory);
        cursor.Put(entry.data.size(), 4);
        cursor.Put(entry.fieldB, 4);
        cursor.Put(entry.fieldC, 4);
        cursor.Put(entry.fieldD2, 4);
        cursor.Put(entry.fieldE, 4);
        cursor.Put(entry.fieldF, 8);
    }
    cursor.Put(0, 2);
    for (const PvkPackEntry& entry : entries) cursor.PutBytes(entry.data);
    return PvkWriteError::None;
}

}  // namespace modroute
