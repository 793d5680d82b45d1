// A pack file of any bytes: header, content extent, entry table, names, keys
// and index, as the reader parses a pack from disk.
#include <algorithm>

#include "FuzzSupport.h"
#include "common/PathText.h"
#include "vfs/PvkFormat.h"

using namespace modroute;
using fuzzsupport::StandInGbkToUtf8;

namespace {

constexpr std::string_view kPackPath = "C:\\game\\maps\\sn05.pvk";

// Bytes of the table record an entry was read from.
std::uint64_t RecordSize(const PvkEntry& entry) {
    return 2 + entry.name.size() + 2 + entry.directory.size() + kPvkEntryFixedSize;
}

void CheckTable(std::span<const std::uint8_t> block, const std::vector<PvkEntry>& entries, bool named) {
    std::uint64_t tableBytes = 0;
    for (const PvkEntry& entry : entries) {
        FUZZ_CHECK(!entry.name.empty() && entry.name.size() <= 0xFFFF);
        // Before naming, the directory is as stored; the stem default may fill it later.
        if (!named) FUZZ_CHECK(entry.directory.size() <= 0xFFFF);
        tableBytes += RecordSize(entry);
    }
    // Data lies after the table, in table order, without overlap, inside the block.
    std::uint64_t nextFree = 0;
    for (const PvkEntry& entry : entries) {
        if (!entry.hasData) continue;
        FUZZ_CHECK(std::uint64_t{entry.dataOffset} + entry.size <= block.size());
        FUZZ_CHECK(entry.dataOffset >= nextFree);
        if (!named) FUZZ_CHECK(entry.dataOffset >= tableBytes);
        nextFree = std::uint64_t{entry.dataOffset} + entry.size;
    }
}

void CheckPrefixesAgree(std::span<const std::uint8_t> block) {
    const PvkEntryTable whole = ParsePvkEntryTable(block, static_cast<std::uint32_t>(block.size()));
    FUZZ_CHECK(!whole.needsMoreBytes);
    CheckTable(block, whole.entries, false);
    // A reader that stops short either asks for more or has the whole table:
    // then it places the data exactly as the whole block does.
    for (const std::size_t given : {std::size_t{0}, std::size_t{2}, block.size() / 3, block.size() / 2}) {
        if (given > block.size()) continue;
        const PvkEntryTable part = ParsePvkEntryTable(block.first(given), static_cast<std::uint32_t>(block.size()));
        if (part.needsMoreBytes) continue;
        FUZZ_CHECK(part.entries.size() == whole.entries.size());
        for (std::size_t i = 0; i < part.entries.size(); ++i) {
            const PvkEntry& a = part.entries[i];
            const PvkEntry& b = whole.entries[i];
            FUZZ_CHECK(a.name == b.name && a.directory == b.directory && a.size == b.size);
            FUZZ_CHECK(a.hasData == b.hasData && (!a.hasData || a.dataOffset == b.dataOffset));
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> file(data, size);
    const std::optional<PvkPackView> pack = ParsePvkPack(file, kPackPath, StandInGbkToUtf8);
    const std::optional<PvkHeader> header = ParsePvkHeader(file);
    FUZZ_CHECK(pack.has_value() == header.has_value());
    if (!pack) return 0;
    FUZZ_CHECK(size >= kPvkFixedHeadSize && std::equal(data, data + 4, "PVK2"));
    FUZZ_CHECK(header->End() <= size);

    const PvkContentExtent& content = pack->content;
    FUZZ_CHECK(content.size <= pack->header.contentSize);
    FUZZ_CHECK(content.size == 0 || content.offset + content.size <= size);
    const auto block = file.subspan(std::min<std::size_t>(content.offset, size), content.size);
    CheckPrefixesAgree(block);
    CheckTable(block, pack->entries, true);

    for (const PvkEntry& entry : pack->entries) {
        FUZZ_CHECK(CleanPath(entry.key) == entry.key);
        // A name or directory that cannot be converted leaves the entry without
        // a key: keyed by the rest, the file would appear somewhere else.
        const bool unconvertible = ToUtf8IfNeeded(entry.name, StandInGbkToUtf8).empty() ||
                                   (!entry.directory.empty() && ToUtf8IfNeeded(entry.directory, StandInGbkToUtf8).empty());
        FUZZ_CHECK(entry.key.empty() == unconvertible);
    }
    const PvkIndex index = BuildPvkIndex(pack->entries, content.offset);
    for (const auto& [key, range] : index) {
        FUZZ_CHECK(!key.empty());
        FUZZ_CHECK(range.offset >= content.offset && range.offset + range.size <= content.offset + content.size);
    }
    return 0;
}
