// A map index file of any bytes: the block scan, the first block and the
// stored count, read and written.
#include <vector>

#include "FuzzSupport.h"
#include "autores/ResFormat.h"

using namespace modroute;

namespace {

// Every record, in order, is the block that starts at one of the offsets the
// block rule accepts, outside the leading fields and name of the one before.
void CheckRecordsMatchBlockStarts(ResBytes file, const std::vector<ResMapRecord>& records) {
    std::vector<std::size_t> starts;
    for (std::size_t offset = kResHeaderSize; offset < file.size(); ++offset) {
        if (!starts.empty() && offset < starts.back() + 12 + file[starts.back() + 8]) continue;
        if (IsMapBlockStart(file, offset)) starts.push_back(offset);
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

// A cut file lists the same first blocks, up to the first that does not fit.
void CheckCutFileListsTheSameFirstBlocks(ResBytes file, const std::vector<ResMapRecord>& records, std::size_t keep) {
    const std::vector<ResMapRecord> cut = ScanMapBlocks(file.first(keep));
    const std::vector<std::size_t> starts = MapBlockOffsets(file);
    std::size_t fitting = 0;
    while (fitting < starts.size() && IsMapBlockStart(file.first(keep), starts[fitting])) ++fitting;
    FUZZ_CHECK(cut.size() >= fitting && std::equal(records.begin(), records.begin() + fitting, cut.begin()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const ResBytes file(data, size);
    const std::vector<ResMapRecord> records = ScanMapBlocks(file);
    CheckRecordsMatchBlockStarts(file, records);
    CheckCutFileListsTheSameFirstBlocks(file, records, size / 2);

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
