// Random mod folders through the index writer and back: the maps found are
// numbered by the plain rule below, written after a base index (rebuilt from its game data, or
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

// The numbering rule read plainly: an sn map has its own number or none, as
// its number is held; the others take the free numbers from the lowest on, in
// list order, until there is none left. Maps a block cannot hold take none.
void CheckNumbers(const std::vector<MapEntry>& maps, const std::vector<NumberedMap>& numbered, int baseMaps) {
    std::set<int> held;
    for (int number = 1; number <= baseMaps; ++number) held.insert(number);
    std::vector<const MapEntry*> free;
    for (const MapEntry& entry : maps) {
        const bool holdsName = !entry.mapName.empty() && entry.mapName.size() <= kMaxMapNameLength &&
                               entry.mapName.find('\0') == std::string::npos;
        const auto found = std::find_if(numbered.begin(), numbered.end(),
                                        [&](const NumberedMap& map) { return map.entry.path == entry.path; });
        if (!holdsName) {
            FUZZ_CHECK(found == numbered.end());
        } else if (entry.isSn) {
            FUZZ_CHECK((found == numbered.end()) == held.count(entry.number) > 0);
            if (found != numbered.end()) FUZZ_CHECK(found->number == entry.number);
            held.insert(entry.number);
        } else {
            free.push_back(&entry);
        }
    }
    int next = 1;
    for (const MapEntry* entry : free) {
        while (held.count(next)) ++next;
        const auto found = std::find_if(numbered.begin(), numbered.end(),
                                        [&](const NumberedMap& map) { return map.entry.path == entry->path; });
        FUZZ_CHECK((found == numbered.end()) == (next > kMaxMapNumber));
        if (found != numbered.end()) FUZZ_CHECK(found->number == next);
        held.insert(next);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzsupport::FieldReader input(fuzzsupport::AsText(data, size));
    const bool append = input.Byte() & 1;
    const int baseMaps = input.Byte() % 251 + 1;
    const std::vector<std::uint8_t> base = BaseIndex(baseMaps);
    ModFolderListing listing;
    std::vector<std::pair<std::string, std::string>> desNames;
    while (!input.AtEnd()) {
        const std::uint8_t kind = input.Byte();
        const int number = input.Byte();
        std::string name = kind & 2 ? MapIdText(number) : input.Text();
        if (kind & 2) input.Text();
        std::vector<std::string>& names = kind & 1 ? listing.packs : listing.folders;
        const std::string listed = kind & 1 ? name + ".pvk" : name;
        desNames.emplace_back(name, input.Text());
        // A folder lists a name once.
        if (name.find_first_of(std::string("\\\0", 2)) != std::string::npos ||
            std::find(names.begin(), names.end(), listed) != names.end()) {
            continue;
        }
        names.push_back(listed);
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
    CheckNumbers(maps, update->maps, append ? baseMaps : 0);
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
