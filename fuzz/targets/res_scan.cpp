// A map index file of any bytes: the block scan, the first block and the
// stored count, read and written.
#include <vector>

#include "FuzzSupport.h"
#include "autores/ResFormat.h"

using namespace modroute;

namespace {

// Every record, in order, is the block that starts at one of the offsets the
// block rule accepts.
void CheckRecordsMatchBlockStarts(ResBytes file, const std::vector<ResMapRecord>& records) {
    std::vector<std::size_t> starts;
    for (std::size_t offset = 0; offset < file.size(); ++offset) {
        if (IsMapBlockStart(file, offset) && offset >= kResHeaderSize) starts.push_back(offset);
    }
    FUZZ_CHECK(records.size() == starts.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        const ResMapRecord& record = records[i];
        const std::size_t at = starts[i];
        FUZZ_CHECK(record.number >= 1 && record.number <= kMaxMapNumber && record.number == file[at + 4]);
        FUZZ_CHECK(!record.internalName.empty() && record.internalName.size() <= kMaxMapNameLength);
        FUZZ_CHECK(record.internalName.size() + 1 == file[at + 8]);
        const auto stored = file.subspan(at + 12, record.internalName.size());
        FUZZ_CHECK(std::string(stored.begin(), stored.end()) == record.internalName);
        FUZZ_CHECK(record.key == FormatRecordKey(record.number));
    }
    const std::optional<std::size_t> first = FindFirstMapBlock(file);
    FUZZ_CHECK(first.has_value() == !starts.empty());
    if (first) FUZZ_CHECK(*first == starts.front());
}

// The blocks of a cut file are blocks of the whole one, in the same order.
void CheckCutFileListsFewerBlocks(ResBytes file, const std::vector<ResMapRecord>& records, std::size_t keep) {
    const std::vector<ResMapRecord> cut = ScanMapBlocks(file.first(keep));
    std::size_t next = 0;
    for (const ResMapRecord& record : cut) {
        while (next < records.size() && !(records[next] == record)) ++next;
        FUZZ_CHECK(next < records.size());
        ++next;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const ResBytes file(data, size);
    const std::vector<ResMapRecord> records = ScanMapBlocks(file);
    CheckRecordsMatchBlockStarts(file, records);
    CheckCutFileListsFewerBlocks(file, records, size / 2);

    const std::optional<std::uint16_t> count = ReadStoredCount(file);
    FUZZ_CHECK(count.has_value() == (size >= kResHeaderSize));
    // Writing the count changes bytes 52 and 53 only, and so no block.
    std::vector<std::uint8_t> written(data, data + size);
    const std::uint16_t newCount = static_cast<std::uint16_t>(kResBaseCount + records.size());
    FUZZ_CHECK(WriteStoredCount(written, newCount) == count.has_value());
    if (!count) {
        FUZZ_CHECK(std::equal(written.begin(), written.end(), data));
        return 0;
    }
    FUZZ_CHECK(ReadStoredCount(written) == newCount);
    for (std::size_t i = 0; i < size; ++i) {
        if (i != kResCountOffset && i != kResCountOffset + 1) FUZZ_CHECK(written[i] == data[i]);
    }
    FUZZ_CHECK(ScanMapBlocks(written) == records);
    return 0;
}
