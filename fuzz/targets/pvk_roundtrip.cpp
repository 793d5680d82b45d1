// The pack writer against the reader: what WritePvk writes parses back to the
// same entries, fields and data, keyed by directory (or the pack's stem).
//
// Input fields: version u32, variable block text, content offset mode byte
// and u16, then per entry: name, directory and data texts, B C D2 E u32, F u64.
#include "FuzzSupport.h"
#include "common/PathText.h"
#include "vfs/PvkFormat.h"

using namespace modroute;
using fuzzsupport::FieldReader;
using fuzzsupport::StandInGbkToUtf8;

namespace {

constexpr std::string_view kPackPath = "D:\\mods\\Blades\\sn05.pvk";
constexpr std::uint64_t kHeaderSize = kPvkFixedHeadSize + kPvkSecondPartSize;

std::span<const std::uint8_t> Bytes(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FieldReader input(fuzzsupport::AsText(data, size));
    PvkWriteOptions options;
    options.version = input.U32();
    const std::string variableBlock = input.Text();
    options.variableBlock = Bytes(variableBlock);
    const std::uint8_t offsetMode = input.Byte();
    const std::uint16_t offsetValue = input.U16();
    const std::uint64_t headerEnd = kHeaderSize + variableBlock.size();
    // 0: right after the header; 1: a gap after it; 2: anywhere, the header too.
    if (offsetMode % 3 == 1) options.contentOffset = static_cast<std::uint32_t>(headerEnd + offsetValue);
    if (offsetMode % 3 == 2) options.contentOffset = offsetValue;

    std::vector<std::string> texts;  // the data, kept in place for the spans
    texts.reserve(64);
    std::vector<PvkPackEntry> entries;
    while (!input.AtEnd() && entries.size() < 64) {
        PvkPackEntry entry;
        entry.name = input.Text();
        entry.directory = input.Text();
        texts.push_back(input.Text());
        entry.data = Bytes(texts.back());
        entry.fieldB = input.U32();
        entry.fieldC = input.U32();
        entry.fieldD2 = input.U32();
        entry.fieldE = input.U32();
        entry.fieldF = input.U64();
        entries.push_back(std::move(entry));
    }

    std::vector<std::uint8_t> pack;
    const PvkWriteError error = WritePvk(entries, options, pack);
    bool anyEmptyName = false;
    for (const PvkPackEntry& entry : entries) anyEmptyName = anyEmptyName || entry.name.empty();
    const bool insideHeader = options.contentOffset && *options.contentOffset < headerEnd;
    if (error != PvkWriteError::None) {
        // Texts here are shorter than 64 KiB and packs far below 4 GiB.
        FUZZ_CHECK((error == PvkWriteError::EmptyName && anyEmptyName) ||
                   (error == PvkWriteError::ContentOffsetInsideHeader && insideHeader && !anyEmptyName));
        return 0;
    }
    FUZZ_CHECK(!anyEmptyName && !insideHeader);

    const std::optional<PvkPackView> view = ParsePvkPack(pack, kPackPath, StandInGbkToUtf8);
    FUZZ_CHECK(view.has_value());
    FUZZ_CHECK(view->header.version == options.version);
    FUZZ_CHECK(view->header.variableBlockSize == variableBlock.size());
    FUZZ_CHECK(view->header.contentOffset == options.contentOffset.value_or(static_cast<std::uint32_t>(headerEnd)));
    FUZZ_CHECK(view->content.offset + view->content.size == pack.size());
    const auto storedBlock = std::span(pack).subspan(kPvkFixedHeadSize, variableBlock.size());
    FUZZ_CHECK(std::string(storedBlock.begin(), storedBlock.end()) == variableBlock);
    FUZZ_CHECK(view->entries.size() == entries.size());

    const std::string stem = PvkPackStem(kPackPath);
    PvkIndex expectedIndex;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const PvkPackEntry& written = entries[i];
        const PvkEntry& read = view->entries[i];
        FUZZ_CHECK(read.name == written.name);
        const bool loose = written.directory.empty() && written.name != "render.json";
        FUZZ_CHECK(read.directory == (loose ? stem : written.directory));
        FUZZ_CHECK(read.size == written.data.size() && read.hasData);
        FUZZ_CHECK(read.fieldB == written.fieldB && read.fieldD2 == written.fieldD2 && read.fieldE == written.fieldE &&
                   read.fieldF == written.fieldF);
        const auto stored = std::span(pack).subspan(view->content.offset + read.dataOffset, read.size);
        FUZZ_CHECK(std::equal(stored.begin(), stored.end(), written.data.begin(), written.data.end()));
        FUZZ_CHECK(read.key == PvkEntryKey(read.directory, read.name, StandInGbkToUtf8));
        if (!read.key.empty()) expectedIndex[read.key] = {view->content.offset + read.dataOffset, read.size};
    }
    // The index keeps the last entry of each key.
    const PvkIndex index = BuildPvkIndex(view->entries, view->content.offset);
    FUZZ_CHECK(index.size() == expectedIndex.size());
    for (const auto& [key, range] : index) {
        const auto expected = expectedIndex.find(key);
        FUZZ_CHECK(expected != expectedIndex.end() && expected->second.offset == range.offset &&
                   expected->second.size == range.size);
    }
    return 0;
}
