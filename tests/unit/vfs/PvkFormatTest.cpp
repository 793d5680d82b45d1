// The pack format over bytes: header, entry table, names and keys, index, writer.
#include <gtest/gtest.h>

#include "PackBytes.h"

using namespace modroute;
using namespace packbytes;

namespace {

// Marks the text it converts, so a test sees which texts were taken as GBK.
std::string Mark(std::string_view text) { return "<" + std::string(text) + ">"; }

std::string Le(std::uint64_t value, int width) {
    std::string bytes;
    for (int i = 0; i < width; ++i) bytes += static_cast<char>(value >> (8 * i));
    return bytes;
}

// A table record written by hand, as the format lays it out.
std::string Record(const std::string& name, const std::string& directory, std::uint32_t size) {
    return Le(name.size(), 2) + name + Le(directory.size(), 2) + directory + Le(size, 4) + std::string(24, '\0');
}
const std::string kEnd = Le(0, 2);

// "name@offset" per entry with data, "name-" per entry without.
std::string Placement(const std::string& block, std::size_t given = std::string::npos) {
    const PvkEntryTable table =
        ParsePvkEntryTable(Bytes(block).first(std::min(given, block.size())), std::uint32_t(block.size()));
    std::string text = table.needsMoreBytes ? "more " : "";
    for (const PvkEntry& e : table.entries) text += e.name + (e.hasData ? "@" + std::to_string(e.dataOffset) : "-") + " ";
    return text;
}

}  // namespace

TEST(PvkFormat, WriterLaysOutHeaderTableAndDataAtTheirOffsets) {
    PvkPackEntry entry = File("a", "d", "xy");
    entry.fieldB = 1, entry.fieldC = 2, entry.fieldD2 = 3, entry.fieldE = 4, entry.fieldF = 0x500000006ULL;
    PvkWriteOptions options;
    options.variableBlock = Bytes("VARBLOCK");
    options.contentOffset = 908 + 8 + 208 + 3;
    const std::string pack = Text(MakePack({entry}, options));
    const std::string record = Le(1, 2) + "a" + Le(1, 2) + "d" + Le(2, 4) + Le(1, 4) + Le(2, 4) + Le(3, 4) +
                               Le(4, 4) + Le(0x500000006ULL, 8);
    EXPECT_EQ(pack.substr(0, 8), "PVK2" + Le(4, 4));
    EXPECT_EQ(pack.substr(8, 896), std::string(896, '\0'));
    EXPECT_EQ(pack.substr(904, 12), Le(8, 4) + "VARBLOCK");
    EXPECT_EQ(pack.substr(916 + 164, 8), Le(*options.contentOffset, 4) + Le(record.size() + 2 + 2, 4));
    EXPECT_EQ(pack.substr(916 + 208), std::string(3, '\0') + record + kEnd + "xy");
}

TEST(PvkFormat, HeaderIsRejectedForAWrongMagicOrWhenCutShortAndTheContentBlockIsCutToTheFile) {
    const std::vector<std::uint8_t> good = MakePack({File("a", "", "x")});
    const std::pair<const char*, void (*)(std::vector<std::uint8_t>&)> rejected[] = {
        {"PVK1", [](std::vector<std::uint8_t>& p) { p[3] = '1'; }},
        {"907 bytes", [](std::vector<std::uint8_t>& p) { p.resize(907); }},
        {"second part cut", [](std::vector<std::uint8_t>& p) { p.resize(kHeaderEnd - 1); }},
        {"L past the file", [](std::vector<std::uint8_t>& p) { PutU32(p, 904, std::uint32_t(p.size())); }},
    };
    for (const auto& [what, damage] : rejected) {
        std::vector<std::uint8_t> pack = good;
        damage(pack);
        EXPECT_FALSE(ParsePvkPack(pack, "p.pvk", Mark)) << what;
    }
    std::vector<std::uint8_t> headerOnly = good;
    headerOnly.resize(kHeaderEnd);
    PutU32(headerOnly, 4, 0x1234);  // the version is not checked
    ASSERT_TRUE(ParsePvkPack(headerOnly, "p.pvk", Mark));
    EXPECT_TRUE(ParsePvkPack(headerOnly, "p.pvk", Mark)->entries.empty());
    // The content block is cut to what the file holds.
    const std::tuple<std::uint32_t, std::uint32_t, std::uint64_t, std::uint32_t> extents[] = {
        {100, 50, 200, 50},   {100, 150, 200, 100}, {100, 0xFFFFFFFF, 200, 100},
        {200, 10, 200, 0},    {0xFFFFFF00, 0x200, 1000, 0}, {0xFFFFFF00, 0x200, 0x100000080ULL, 0x180},
    };
    for (const auto& [offset, size, fileSize, kept] : extents) {
        PvkHeader header;
        header.contentOffset = offset;
        header.contentSize = size;
        EXPECT_EQ(PvkContentInFile(header, fileSize).size, kept) << offset << "+" << size << " in " << fileSize;
    }
}

TEST(PvkFormat, TableOfRecordsPlacesDataAfterTheTerminatorAndKeepsWholeRecordsOfACutTable) {
    const std::string one = Record("a", "", 3) + Record("b", "", 100) + Record("c", "", 2) + kEnd;  // 101 bytes
    const std::string two = Record("a", "", 2) + Record("b", "", 3) + kEnd;                         // 68 bytes
    // position + size is 2^32 + 1, which wraps around to 1 in 32 bits.
    const std::string wrap = Record("a", "", std::uint32_t(0x100000001ULL - 68)) + Record("b", "", 2) + kEnd;
    const std::string fixedCut = Record("a", "", 0) + Record("second", std::string(40, 'd'), 5).substr(0, 77);  // of 78
    const std::tuple<std::string, std::string, bool, std::size_t> cases[] = {
        {kEnd + "data", "", true, 2},
        {one + "AAACC", "a@101 b- c@104 ", true, 101},  // c's data is looked for where b's would have been
        {two + "AABBB", "a@68 b@70 ", true, 68},
        {two + "AABB", "a@68 b- ", true, 68},
        {wrap + "BB", "a- b@68 ", true, 68},
        {Record("a", "", 0xFFFFFFFF) + kEnd, "a- ", true, 35},
        {fixedCut, "a@" + std::to_string(fixedCut.size()) + " ", false, fixedCut.size()},
    };
    for (const auto& [block, placement, terminated, dataStart] : cases) {
        EXPECT_EQ(Placement(block), placement) << placement;
        const PvkEntryTable table = ParsePvkEntryTable(Bytes(block), std::uint32_t(block.size()));
        EXPECT_EQ(table.terminated, terminated) << placement;
        EXPECT_EQ(table.dataStart, dataStart) << placement;
    }
    // A prefix of the table asks for more; the data itself need not be there.
    const std::string whole = two + "AABBB";
    for (std::size_t given = 0; given < two.size(); ++given) EXPECT_EQ(Placement(whole, given).substr(0, 5), "more ");
    EXPECT_EQ(Placement(whole, two.size()), Placement(whole));
}


// Only valid UTF-8 of up to three bytes is kept unconverted; names that
// cannot be converted give no key, and their entries stay out of the index.
TEST(PvkFormat, KeysJoinDirectoryAndNameLooseFilesTakeThePacksStemAndUnconvertibleNamesHaveNone) {
    const std::pair<std::string, bool> texts[] = {
        {"caf\xC3\xA9", true}, {"\xE4\xB8\xAD\xE6\x96\x87", true}, {"\xD6\xD0\xCE\xC4", false},  // 中文, in code page 936
        {"\xE0\x80\x80", false}, {"\xED\xA0\x80", false}, {"\xE4\xB8", false}, {"\xF0\x9F\x98\x80", false},
    };  // overlong, surrogate, cut short, four bytes
    for (const auto& [text, kept] : texts) EXPECT_EQ(ToUtf8IfNeeded(text, Mark), kept ? text : Mark(text)) << text;
    // Fails whatever it is given, as a converter may.
    const TextConverter failing = [](std::string_view) { return std::string(); };
    const std::tuple<std::string, std::string, bool, std::string> keys[] = {
        {"", "a.dds", true, "a.dds"},           {"Data//Maps/", "x.wp", true, "Data\\Maps\\x.wp"},
        {"", "/a//b", true, "\\a\\b"},           {"\xD6\xD0", "\xB5\xB6", true, "<\xD6\xD0>\\<\xB5\xB6>"},
        {"", "\xD6\xD0.dds", false, ""},        {"\xD6\xD0", "a.dds", false, ""},  // not keyed into the root
        {"tex", "a.dds", false, "tex\\a.dds"},  // UTF-8 needs no conversion
    };
    for (const auto& [directory, name, converts, key] : keys) {
        EXPECT_EQ(PvkEntryKey(directory, name, converts ? TextConverter(Mark) : failing), key) << name;
    }
    const std::pair<const char*, const char*> stems[] = {
        {"C:\\mods\\sn05.pvk", "sn05"}, {"sn05.final.pvk", "sn05.final"}, {"C:/a.b/pack", ""}, {"C:\\a.b/c.pvk", "c"},
    };
    for (const auto& [path, stem] : stems) EXPECT_EQ(PvkPackStem(path), stem) << path;

    // The index points at each file's bytes and a later entry of a key wins.
    std::vector<std::uint8_t> pack = MakePack({File("a.dds", "tex", "AAA"), File("k", "x", "first"),
                                               File("k", "x/", "second"), File("\xD6\xD0.dds", "tex", "A"),
                                               File("empty", "tex", ""), File("last", "tex", "ZZ")});
    pack.pop_back();  // the last file's data now runs past the file
    const std::optional<PvkPackView> view = ParsePvkPack(pack, "p.pvk", failing);
    ASSERT_TRUE(view);
    std::string found;
    for (const auto& [key, range] : BuildPvkIndex(view->entries, view->content.offset)) {
        found += key + "=" + Text(std::span(pack).subspan(std::size_t(range.offset), range.size)) + " ";
    }
    EXPECT_EQ(found, "tex\\a.dds=AAA tex\\empty= x\\k=second ");
}

TEST(PvkFormat, WriterRefusesWhatTheFormatCannotHold) {
    const std::string longText(65536, 'n');
    PvkWriteOptions insideHeader;
    insideHeader.contentOffset = kHeaderEnd - 1;
    const std::tuple<PvkPackEntry, PvkWriteOptions, PvkWriteError> cases[] = {
        {File("", "d", "x"), {}, PvkWriteError::EmptyName},
        {File(longText, "", "x"), {}, PvkWriteError::NameTooLong},
        {File(longText.substr(1), longText.substr(1), "x"), {}, PvkWriteError::None},
        {File("a", longText, "x"), {}, PvkWriteError::DirectoryTooLong},
        {File("a", "", "x"), insideHeader, PvkWriteError::ContentOffsetInsideHeader},
    };
    for (const auto& [entry, options, error] : cases) {
        std::vector<std::uint8_t> out;
        EXPECT_EQ(WritePvk(std::span(&entry, 1), options, out), error) << entry.name.size();
    }
}
