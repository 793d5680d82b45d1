#include "autores/ResFormat.h"

namespace modroute {
namespace {

constexpr std::uint8_t kBlockTag = 5;
constexpr std::size_t kMinNameLengthByte = 2;
constexpr std::size_t kMaxNameLengthByte = kMaxMapNameLength + 1;
// A block written here is never shorter than its name plus this.
constexpr std::size_t kBlockSizeBeyondName = 71;

std::string FormatKey(std::string_view prefix, int number) {
    std::string key(prefix);
    if (number < 10) key += '0';
    key += std::to_string(number);
    return key;
}

void AppendU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void AppendTerminated(std::vector<std::uint8_t>& out, std::string_view text) {
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(0);
}

// The blocks of a RES follow its header; the header's 52 game bytes are
// never read as a block, so truncating before the first block keeps them.
// A found block's leading fields and name are no place for another: map 5
// named "1st Pass" holds 05 00 00 00 at its number, and the name's first
// byte then passes for a name length.
template <typename Visit>
void ForEachBlockStart(ResBytes file, Visit visit) {
    for (std::size_t offset = kResHeaderSize; offset + 16 < file.size();) {
        if (!IsMapBlockStart(file, offset)) {
            ++offset;
            continue;
        }
        if (!visit(offset)) return;
        offset += kMapBlockNameOffset + file[offset + kMapBlockNameLengthOffset];
    }
}

}  // namespace

std::string FormatMapKey(int number) { return FormatKey("SN", number); }

std::string FormatRecordKey(int number) { return FormatKey("sn", number); }

bool IsMapBlockStart(ResBytes file, std::size_t offset) {
    if (offset >= file.size() || file.size() - offset <= 16) return false;
    const ResBytes at = file.subspan(offset);
    if (at[0] != kBlockTag || at[1] != 0 || at[2] != 0 || at[3] != 0) return false;
    if (at[kMapBlockNumberOffset] < 1) return false;
    const std::size_t nameLength = at[kMapBlockNameLengthOffset];
    if (nameLength < kMinNameLengthByte || nameLength > kMaxNameLengthByte) return false;
    return kMapBlockNameOffset + (nameLength - 1) <= at.size();
}

std::optional<ResMapRecord> ReadMapBlock(ResBytes file, std::size_t offset) {
    if (offset < kResHeaderSize || !IsMapBlockStart(file, offset)) return std::nullopt;
    const ResBytes at = file.subspan(offset);
    const std::size_t nameLength = at[kMapBlockNameLengthOffset] - 1u;
    const auto name = at.subspan(kMapBlockNameOffset, nameLength);
    const int number = at[kMapBlockNumberOffset];
    return ResMapRecord{std::string(name.begin(), name.end()), number, FormatRecordKey(number)};
}

std::vector<std::size_t> MapBlockOffsets(ResBytes file) {
    std::vector<std::size_t> offsets;
    ForEachBlockStart(file, [&](std::size_t offset) {
        offsets.push_back(offset);
        return true;
    });
    return offsets;
}

std::vector<ResMapRecord> ScanMapBlocks(ResBytes file) {
    std::vector<ResMapRecord> records;
    for (const std::size_t offset : MapBlockOffsets(file)) records.push_back(*ReadMapBlock(file, offset));
    return records;
}

std::optional<std::size_t> FindFirstMapBlock(ResBytes file) {
    std::optional<std::size_t> first;
    ForEachBlockStart(file, [&](std::size_t offset) {
        first = offset;
        return false;
    });
    return first;
}

std::optional<std::uint16_t> ReadStoredCount(ResBytes file) {
    if (file.size() < kResHeaderSize) return std::nullopt;
    return static_cast<std::uint16_t>(file[kResCountOffset] | (file[kResCountOffset + 1] << 8));
}

bool WriteStoredCount(std::span<std::uint8_t> file, std::uint16_t count) {
    if (file.size() < kResHeaderSize) return false;
    file[kResCountOffset] = static_cast<std::uint8_t>(count & 0xFF);
    file[kResCountOffset + 1] = static_cast<std::uint8_t>(count >> 8);
    return true;
}

std::vector<std::uint8_t> BuildMapBlock(const MapBlockInput& input) {
    const std::string_view name = input.mapName;
    if (input.number < 1 || input.number > kMaxMapNumber) return {};
    if (name.empty() || name.size() > kMaxMapNameLength) return {};
    if (name.find('\0') != std::string_view::npos) return {};

    std::vector<std::uint8_t> block;
    block.reserve(name.size() + kBlockSizeBeyondName + input.key.size());
    AppendU32(block, kBlockTag);
    AppendU32(block, static_cast<std::uint32_t>(input.number));
    AppendU32(block, static_cast<std::uint32_t>(name.size() + 1));
    AppendTerminated(block, name);
    // The game reads the key by its length field: "SN100" needs 6, not 5.
    AppendU32(block, static_cast<std::uint32_t>(input.key.size() + 1));
    AppendTerminated(block, input.key);
    block.push_back(1);
    for (const std::uint32_t value : {0u, 3u, input.flag ? 10u : 11u, std::uint32_t{input.tailAfterFlag}, 0u,
                                      12u, std::uint32_t{input.tailAfterTwelve}, 0u, 1u,
                                      std::uint32_t{input.tailLast}}) {
        AppendU32(block, value);
    }
    if (block.size() < name.size() + kBlockSizeBeyondName) block.resize(name.size() + kBlockSizeBeyondName, 0);
    return block;
}

}  // namespace modroute
