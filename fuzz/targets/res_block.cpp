// The block encoder against the block scan: a built block reads back as its
// number, name and key, after any header, also followed by a second block;
// the count written reads back; and the map ids and sn names.
//
// Input fields: number i16, name text, flag and values A B C bytes, key mode
// byte, key text, 52 header bytes as text, count u16, second number i16 and
// name text, then a candidate folder name as text.
#include "FuzzSupport.h"
#include "autores/MapNames.h"
#include "autores/ResFormat.h"

using namespace modroute;
using fuzzsupport::FieldReader;

namespace {

using Bytes = std::vector<std::uint8_t>;

MapBlockInput ReadBlockInput(FieldReader& input) {
    MapBlockInput block;
    block.number = static_cast<std::int16_t>(input.U16());
    block.mapName = input.Text();
    block.flag = input.Byte() & 1;
    block.tailAfterFlag = input.Byte();
    block.tailAfterTwelve = input.Byte();
    block.tailLast = input.Byte();
    return block;
}

// The game reads the key after the name by its length field, NUL included.
bool HoldsKey(const Bytes& block, const MapBlockInput& input) {
    const std::size_t at = 12 + input.mapName.size() + 1;
    if (block.size() < at + 4 + input.key.size() + 1) return false;
    const std::uint32_t length = block[at] | block[at + 1] << 8 | block[at + 2] << 16 | std::uint32_t{block[at + 3]} << 24;
    const std::string key(block.begin() + at + 4, block.begin() + at + 4 + input.key.size());
    return length == input.key.size() + 1 && key == input.key && block[at + 4 + input.key.size()] == 0;
}

bool IsReadable(const MapBlockInput& block) {
    return block.number >= 1 && block.number <= kMaxMapNumber && !block.mapName.empty() &&
           block.mapName.size() <= kMaxMapNameLength && block.mapName.find('\0') == std::string::npos;
}

ResMapRecord RecordOf(const MapBlockInput& block) {
    return {block.mapName, block.number, FormatRecordKey(block.number)};
}

// The id rule against a plain reading: "sn" in either case, then the number
// as "%02d" writes it, and no further digit.
void CheckSnNumber(std::string_view name) {
    std::optional<MapId> plain;
    for (int number = 1; number <= kMaxMapNumber && StartsWithSn(name); ++number) {
        const std::string digits = MapIdText(number).substr(2);
        const std::size_t end = 2 + digits.size();
        if (name.substr(2, digits.size()) == digits && (name.size() == end || name[end] < '0' || name[end] > '9')) {
            plain = MapId{end, number};
        }
    }
    const std::optional<MapId> id = ReadMapId(name);
    FUZZ_CHECK(id.has_value() == plain.has_value());
    if (id) FUZZ_CHECK(id->length == plain->length && id->number == plain->number);
    // A map's folder is an sn folder only when named exactly like the id.
    const std::optional<int> number = ParseSnNumber(name);
    FUZZ_CHECK(number.has_value() == (plain && plain->length == name.size()));
    if (number) FUZZ_CHECK(ParseSnNumber(FormatMapKey(*number)) == number && !ParseSnNumber(std::string(name) + "x"));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FieldReader input(fuzzsupport::AsText(data, size));
    MapBlockInput first = ReadBlockInput(input);
    const std::uint8_t keyMode = input.Byte();
    const std::string anyKey = input.Text();
    first.key = keyMode % 4 == 0 ? anyKey : FormatMapKey(first.number);
    std::string header = input.Text();
    header.resize(kResCountOffset, '\0');
    const std::uint16_t count = input.U16();
    MapBlockInput second = ReadBlockInput(input);
    second.key = FormatMapKey(second.number);
    CheckSnNumber(input.Text());

    const Bytes block = BuildMapBlock(first);
    FUZZ_CHECK(block.empty() == !IsReadable(first));
    if (block.empty()) return 0;
    FUZZ_CHECK(block.size() >= first.mapName.size() + 71);
    if (first.key.size() == 4) FUZZ_CHECK(block.size() == first.mapName.size() + 71);
    FUZZ_CHECK(HoldsKey(block, first));

    Bytes file(header.begin(), header.end());
    file.resize(kResHeaderSize);
    FUZZ_CHECK(WriteStoredCount(file, count));
    file.insert(file.end(), block.begin(), block.end());
    const Bytes secondBlock = BuildMapBlock(second);
    file.insert(file.end(), secondBlock.begin(), secondBlock.end());

    FUZZ_CHECK(ReadStoredCount(file) == count);
    FUZZ_CHECK(FindFirstMapBlock(file) == kResHeaderSize);
    const std::vector<ResMapRecord> records = ScanMapBlocks(file);
    FUZZ_CHECK(!records.empty() && records.front() == RecordOf(first));
    // Blocks with the keys the writer gives read back as exactly these; any
    // other key may look like a block start itself, and hide the next one.
    if (keyMode % 4 != 0) {
        std::vector<ResMapRecord> written = {RecordOf(first)};
        if (!secondBlock.empty()) written.push_back(RecordOf(second));
        FUZZ_CHECK(records == written);
    }
    return 0;
}
