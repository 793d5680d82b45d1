// Random mod folders through the index writer and back: the maps found are
// numbered, written after a base index (rebuilt from its game data, or
// appended to it whole), and every block reads back as written, nothing else
// is read, the stored count is 710 + the blocks, the tool's check finds no
// problem, and the table read back from the bytes and the folders by name is
// the table written whenever the names tell the maps apart.
//
// Input fields: mode byte (bit 0: append), base map count byte, then per
// entry: kind byte (bit 0 pack, bit 1 named after a map id), number byte,
// name text, description name text.
#include <algorithm>
#include <set>

#include "FuzzSupport.h"
#include "autores/MapDirectoryMatch.h"
#include "autores/ResRebuild.h"
#include "modroute/ResChecks.h"

using namespace modroute;

namespace {

std::vector<std::uint8_t> BaseIndex(int maps) {
    std::vector<std::uint8_t> base(kResHeaderSize, 0x90);
    WriteStoredCount(base, static_cast<std::uint16_t>(kResBaseCount + maps));
    for (int number = 1; number <= maps; ++number) {
        const std::vector<std::uint8_t> block = BuildMapBlock({number, "Base " + std::to_string(number), FormatMapKey(number)});
        base.insert(base.end(), block.begin(), block.end());
    }
    return base;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzsupport::FieldReader input(fuzzsupport::AsText(data, size));
    const bool append = input.Byte() & 1;
    const std::vector<std::uint8_t> base = BaseIndex(input.Byte() % 40 + 1);
    ModFolderListing listing;
    std::vector<std::pair<std::string, std::string>> desNames;
    while (!input.AtEnd()) {
        const std::uint8_t kind = input.Byte();
        const int number = input.Byte();
        std::string name = kind & 2 ? MapIdText(number) : input.Text();
        if (kind & 2) input.Text();
        if (name.find('\\') != std::string::npos || name.find('\0') != std::string::npos) continue;
        desNames.emplace_back(name, input.Text());
        (kind & 1 ? listing.packs : listing.folders).push_back(kind & 1 ? name + ".pvk" : name);
    }
    MapDiscoveryProbes probes;
    probes.isMapFolder = [](const std::string&) { return true; };
    probes.packSize = [](const std::string&) { return std::optional<std::uint64_t>(1); };
    probes.gbkName = [](std::string_view name) { return std::string(name); };
    const DiscoveredMaps found = DiscoverMaps("m", listing, append ? AppendDiscovery() : RebuildDiscovery(1), probes);
    std::vector<MapEntry> maps = found.Combined();
    for (MapEntry& entry : maps) {
        const auto des = std::find_if(desNames.begin(), desNames.end(), [&](const auto& d) { return d.first == entry.name; });
        if (entry.isSn && !entry.isPack && des != desNames.end() && !des->second.empty()) entry.mapName = des->second;
    }

    const std::optional<ResUpdate> update = append ? AppendResBytes(base, maps) : RebuildResBytes(base, maps);
    FUZZ_CHECK(update.has_value());
    const std::vector<ResMapRecord> records = ScanMapBlocks(update->bytes);
    std::vector<ResMapRecord> expected = append ? ScanMapBlocks(base) : std::vector<ResMapRecord>{};
    if (!append && maps.empty()) expected = ScanMapBlocks(base);
    for (const NumberedMap& map : update->maps) {
        expected.push_back({map.entry.mapName, map.number, FormatRecordKey(map.number)});
    }
    FUZZ_CHECK(records == expected);
    FUZZ_CHECK(ReadStoredCount(update->bytes) == kResBaseCount + records.size());
    const auto anyText = [](std::string_view text) { return std::optional<std::string>(text); };
    FUZZ_CHECK(tool::CheckRes(update->bytes, anyText).problems.empty());

    std::set<std::string> names;
    bool distinct = true;
    for (const ResMapRecord& record : records) distinct = distinct && names.insert(record.internalName).second;
    for (const NumberedMap& map : update->maps) distinct = distinct && (map.entry.isSn || map.entry.mapName == map.entry.name);
    if (distinct) FUZZ_CHECK(MatchMapDirectories(records, listing, probes) == update->directories);
    return 0;
}
