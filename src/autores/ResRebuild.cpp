#include "autores/ResRebuild.h"

namespace modroute {
namespace {

// The values every block of a mod's map carries after its key.
constexpr bool kBlockFlag = false;
constexpr std::uint8_t kBlockValueA = 63;
constexpr std::uint8_t kBlockValueB = 5;
constexpr std::uint8_t kBlockValueC = 0;

std::optional<ResUpdate> WithBlocks(std::vector<std::uint8_t> kept, const MapBlocks& blocks) {
    if (!UpdateMapCountDirect(kept, static_cast<int>(blocks.maps.size()))) return std::nullopt;
    kept.insert(kept.end(), blocks.bytes.begin(), blocks.bytes.end());
    return ResUpdate{std::move(kept), AssignMapDirectories(blocks.maps), blocks.maps};
}

}  // namespace

MapBlocks EncodeMapBlocks(const std::vector<MapEntry>& maps, int firstNumber) {
    MapBlocks blocks;
    int number = firstNumber;
    for (const MapEntry& entry : maps) {
        if (number > kMaxMapNumber) break;
        const std::vector<std::uint8_t> block = BuildMapBlock(
            {number, entry.mapName, FormatMapKey(number), kBlockFlag, kBlockValueA, kBlockValueB, kBlockValueC});
        if (block.empty()) continue;
        blocks.bytes.insert(blocks.bytes.end(), block.begin(), block.end());
        blocks.maps.push_back({number, entry});
        ++number;
    }
    return blocks;
}

SnDirectoryMap::Entries AssignMapDirectories(const std::vector<NumberedMap>& maps) {
    SnDirectoryMap::Entries directories;
    for (const NumberedMap& map : maps) {
        if (!map.entry.isSn) directories[FormatMapKey(map.number)] = map.entry.utf8Name;
    }
    return directories;
}

std::optional<ResUpdate> RebuildResBytes(ResBytes base, const std::vector<MapEntry>& maps) {
    if (base.size() < kResHeaderSize) return std::nullopt;
    if (maps.empty()) return ResUpdate{std::vector<std::uint8_t>(base.begin(), base.end()), {}, {}};
    const std::optional<std::size_t> firstBlock = FindFirstMapBlock(base);
    if (!firstBlock) return std::nullopt;
    std::vector<std::uint8_t> kept(base.begin(), base.begin() + static_cast<std::ptrdiff_t>(*firstBlock));
    WriteStoredCount(kept, kResBaseCount);
    return WithBlocks(std::move(kept), EncodeMapBlocks(maps, 1));
}

std::optional<ResUpdate> AppendResBytes(ResBytes base, const std::vector<MapEntry>& maps) {
    const std::optional<std::uint16_t> count = ReadStoredCount(base);
    if (!count || *count < kResBaseCount) return std::nullopt;
    const int baseMaps = *count - kResBaseCount;
    return WithBlocks(std::vector<std::uint8_t>(base.begin(), base.end()), EncodeMapBlocks(maps, baseMaps + 1));
}

bool UpdateMapCountDirect(std::span<std::uint8_t> res, int added) {
    const std::optional<std::uint16_t> count = ReadStoredCount(res);
    if (!count) return false;
    const long updated = static_cast<long>(*count) + added;
    if (updated < 0 || updated > 0xFFFF) return false;
    return WriteStoredCount(res, static_cast<std::uint16_t>(updated));
}

}  // namespace modroute
