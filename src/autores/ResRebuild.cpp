#include "autores/ResRebuild.h"

#include <algorithm>

namespace modroute {
namespace {

// The values every block of a mod's map carries after its key.
constexpr bool kBlockFlag = false;
constexpr std::uint8_t kBlockValueA = 63;
constexpr std::uint8_t kBlockValueB = 5;
constexpr std::uint8_t kBlockValueC = 0;

bool BlockHolds(const std::string& mapName) {
    return !mapName.empty() && mapName.size() <= kMaxMapNameLength && mapName.find('\0') == std::string::npos;
}

std::optional<ResUpdate> WithBlocks(std::vector<std::uint8_t> kept, std::vector<NumberedMap> maps) {
    if (!UpdateMapCountDirect(kept, static_cast<int>(maps.size()))) return std::nullopt;
    const std::vector<std::uint8_t> blocks = EncodeMapBlocks(maps);
    kept.insert(kept.end(), blocks.begin(), blocks.end());
    SnDirectoryMap::Entries directories = AssignMapDirectories(maps);
    return ResUpdate{std::move(kept), std::move(directories), std::move(maps)};
}

}  // namespace

std::vector<NumberedMap> NumberMaps(const std::vector<MapEntry>& maps, const std::vector<int>& heldNumbers) {
    std::vector<bool> held(kMaxMapNumber + 1, false);
    for (const int number : heldNumbers) {
        if (number >= 1 && number <= kMaxMapNumber) held[number] = true;
    }
    std::vector<NumberedMap> numbered;
    for (const MapEntry& entry : maps) {
        if (!entry.isSn || !BlockHolds(entry.mapName) || held[entry.number]) continue;
        held[entry.number] = true;
        numbered.push_back({entry.number, entry});
    }
    int next = 1;
    for (const MapEntry& entry : maps) {
        if (entry.isSn || !BlockHolds(entry.mapName)) continue;
        while (next <= kMaxMapNumber && held[next]) ++next;
        if (next > kMaxMapNumber) break;
        held[next] = true;
        numbered.push_back({next, entry});
    }
    std::stable_sort(numbered.begin(), numbered.end(),
                     [](const NumberedMap& a, const NumberedMap& b) { return a.number < b.number; });
    return numbered;
}

std::vector<std::uint8_t> EncodeMapBlocks(const std::vector<NumberedMap>& maps) {
    std::vector<std::uint8_t> bytes;
    for (const NumberedMap& map : maps) {
        const std::vector<std::uint8_t> block = BuildMapBlock({map.number, map.entry.mapName, FormatMapKey(map.number),
                                                               kBlockFlag, kBlockValueA, kBlockValueB, kBlockValueC});
        bytes.insert(bytes.end(), block.begin(), block.end());
    }
    return bytes;
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
    return WithBlocks(std::move(kept), NumberMaps(maps, {}));
}

std::optional<ResUpdate> AppendResBytes(ResBytes base, const std::vector<MapEntry>& maps) {
    const std::optional<std::uint16_t> count = ReadStoredCount(base);
    if (!count || *count < kResBaseCount) return std::nullopt;
    std::vector<int> held;
    for (int number = 1; number <= *count - kResBaseCount && number <= kMaxMapNumber; ++number) held.push_back(number);
    for (const ResMapRecord& record : ScanMapBlocks(base)) held.push_back(record.number);
    return WithBlocks(std::vector<std::uint8_t>(base.begin(), base.end()), NumberMaps(maps, held));
}

bool UpdateMapCountDirect(std::span<std::uint8_t> res, int added) {
    const std::optional<std::uint16_t> count = ReadStoredCount(res);
    if (!count) return false;
    const long updated = static_cast<long>(*count) + added;
    if (updated < 0 || updated > 0xFFFF) return false;
    return WriteStoredCount(res, static_cast<std::uint16_t>(updated));
}

}  // namespace modroute
