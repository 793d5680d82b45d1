#include "ResChecks.h"

#include <algorithm>
#include <map>

#include "common/PathText.h"

namespace modroute::tool {
namespace {

// Bounds of what is taken for a block's layout, wider than the reader's own:
// a name up to 4 KiB, a key length field of 3 to 16 with "SN" after it.
constexpr std::uint32_t kLongestLaidOutName = 4096;
constexpr std::uint32_t kShortestKeyField = 3;
constexpr std::uint32_t kLongestKeyField = 16;

std::uint32_t U32(ResBytes file, std::size_t at) {
    return static_cast<std::uint32_t>(file[at] | (file[at + 1] << 8) | (file[at + 2] << 16)) |
           (static_cast<std::uint32_t>(file[at + 3]) << 24);
}

bool IsTag(ResBytes file, std::size_t at) { return at + 4 <= file.size() && U32(file, at) == 5; }

// The folder key of a block laid out at offset: tag, number, name length
// (NUL included), the name, then a key length field and "SN...". Found by
// the layout alone, whatever the reader's limits are.
std::optional<std::string> LaidOutKey(ResBytes file, std::size_t offset) {
    if (offset + kMapBlockNameOffset > file.size() || !IsTag(file, offset)) return std::nullopt;
    const std::uint32_t nameLength = U32(file, offset + kMapBlockNameLengthOffset);
    if (nameLength < 1 || nameLength > kLongestLaidOutName) return std::nullopt;
    const std::size_t keyAt = offset + kMapBlockNameOffset + nameLength;
    if (keyAt + 6 > file.size()) return std::nullopt;
    const std::uint32_t keyLength = U32(file, keyAt);
    if (keyLength < kShortestKeyField || keyLength > kLongestKeyField) return std::nullopt;
    const auto letter = [&](std::size_t at, char upper) { return file[at] == upper || file[at] == upper + 32; };
    if (!letter(keyAt + 4, 'S') || !letter(keyAt + 5, 'N')) return std::nullopt;
    std::string key;
    for (std::size_t at = keyAt + 4; at < keyAt + 4 + keyLength && at < file.size() && file[at] != 0; ++at) {
        key += static_cast<char>(file[at]);
    }
    return key;
}

std::string Text(ResBytes file, std::size_t at, std::size_t length) {
    if (at >= file.size()) return {};
    length = std::min(length, file.size() - at);
    std::string text(file.begin() + static_cast<std::ptrdiff_t>(at),
                     file.begin() + static_cast<std::ptrdiff_t>(at + length));
    return text.substr(0, text.find('\0'));
}

std::string Shown(const std::string& gbk, ExactConverter gbkToUtf8Exact) {
    return gbkToUtf8Exact(gbk).value_or("(not code page 936 text)");
}

// Why the reader passes over a block laid out at offset.
std::string WhyNotRead(ResBytes file, std::size_t offset) {
    // The reader looks at the low bytes only.
    const std::size_t nameLength = file[offset + kMapBlockNameLengthOffset];
    if (file[offset + kMapBlockNumberOffset] == 0) return "its number's low byte is 0";
    if (U32(file, offset + kMapBlockNameLengthOffset) > 0xFF) {
        return "its name length does not fit in the byte the reader reads";
    }
    if (nameLength < 2) return "its name is empty";
    if (nameLength - 1 > kMaxMapNameLength) {
        return "its name is " + std::to_string(nameLength - 1) + " bytes long; the reader takes at most " +
               std::to_string(kMaxMapNameLength);
    }
    return "it lies too close to the end of the file";
}

}  // namespace

ResReport CheckRes(ResBytes file, ExactConverter gbkToUtf8Exact) {
    ResReport report;
    report.storedCount = ReadStoredCount(file);
    if (!report.storedCount) {
        report.problems.push_back("the file holds " + std::to_string(file.size()) +
                                  " bytes, fewer than the 54-byte header");
        return report;
    }

    const std::vector<std::size_t> starts = MapBlockOffsets(file);
    std::size_t nextStart = 0, readUpTo = 0;
    for (std::size_t offset = kResHeaderSize; offset + kMapBlockNameOffset <= file.size(); ++offset) {
        // The reader passes over the leading fields and name of a block it
        // took; its key, which holds a length field, is no block either.
        const bool isStart = nextStart < starts.size() && starts[nextStart] == offset;
        if (offset < readUpTo && !isStart) continue;
        std::optional<ResMapRecord> record;
        const std::optional<std::string> key = LaidOutKey(file, offset);
        if (isStart) {
            ++nextStart;
            record = ReadMapBlock(file, offset);
            readUpTo = offset + kMapBlockNameOffset + file[offset + kMapBlockNameLengthOffset];
            if (key) readUpTo += 4 + key->size();
        }
        if (record) {
            report.blocks.push_back({offset, *record, key.value_or("")});
            const std::string name = Shown(record->internalName, gbkToUtf8Exact);
            const std::string at = "the block at offset " + std::to_string(offset) + " (" + name + ")";
            if (!key) {
                report.problems.push_back("the bytes at offset " + std::to_string(offset) +
                                          " are read as a map block (number " + std::to_string(record->number) +
                                          ", name " + name + "), but no folder key follows the name");
            } else if (!EqualsIgnoringAsciiCase(*key, record->key)) {
                report.problems.push_back(at + " carries the key " + *key + ", but its number " +
                                          std::to_string(record->number) + " makes it " +
                                          ToUpperAscii(record->key) + " to the system");
            }
            const std::uint32_t storedNumber = U32(file, offset + kMapBlockNumberOffset);
            if (storedNumber > 0xFF) {
                report.problems.push_back(at + " stores the number " + std::to_string(storedNumber) +
                                          "; only its low byte (" + std::to_string(record->number) + ") is read");
            }
            if (!gbkToUtf8Exact(record->internalName)) {
                report.problems.push_back(at + ": its name is not code page 936 text");
            }
        } else if (key) {
            const std::uint32_t nameLength = U32(file, offset + kMapBlockNameLengthOffset);
            report.problems.push_back("the block at offset " + std::to_string(offset) + " (key " + *key + ", name " +
                                      Shown(Text(file, offset + kMapBlockNameOffset, nameLength), gbkToUtf8Exact) +
                                      ") cannot be read back: " + WhyNotRead(file, offset));
        }
    }

    std::map<int, std::size_t> numbers;
    for (const ResBlockView& block : report.blocks) {
        const auto [first, fresh] = numbers.emplace(block.record.number, block.offset);
        if (!fresh) {
            report.problems.push_back("the blocks at offsets " + std::to_string(first->second) + " and " +
                                      std::to_string(block.offset) + " both carry the number " +
                                      std::to_string(block.record.number));
        }
    }
    const std::size_t expected = kResBaseCount + report.blocks.size();
    if (*report.storedCount != expected) {
        report.problems.push_back("the stored count is " + std::to_string(*report.storedCount) + ", but 710 + " +
                                  std::to_string(report.blocks.size()) + " blocks make " + std::to_string(expected));
    }
    return report;
}

}  // namespace modroute::tool
