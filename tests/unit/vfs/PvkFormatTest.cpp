// The pack format over bytes: header, entry table, names and keys, index, writer.
#include <gtest/gtest.h>

#include <limits>

#include "PackBytes.h"
#include "vfs/PvkFormat.h"

using namespace modroute;
using namespace packbytes;

namespace {

// Marks text it was asked to convert, so a test sees which branch was taken.
std::string MarkConverted(std::string_view text) { return "<" + std::string(text) + ">"; }

std::string Le(std::uint64_t value, int width) {
    std::string bytes;
    for (int i = 0; i < width; ++i) bytes += static_cast<char>(value >> (8 * i));
    return bytes;
}

// One table record written by hand, independently of the writer.
std::string Record(const std::string& name, const std::string& directory, std::uint32_t size) {
    return Le(name.size(), 2) + name + Le(directory.size(), 2) + directory + Le(size, 4) + std::string(24, '\0');
}

const std::string kEnd = Le(0, 2);

PvkEntryTable ParseBlock(const std::string& block) {
    return ParsePvkEntryTable(Bytes(block), static_cast<std::uint32_t>(block.size()));
}

// "name@offset" for entries with data, "name-" for those without.
std::string Placement(const PvkEntryTable& table) {
    std::string text;
    for (const PvkEntry& entry : table.entries) {
        text += entry.name + (entry.hasData ? "@" + std::to_string(entry.dataOffset) : "-") + " ";
    }
    return text;
}

std::string DataOf(const std::vector<std::uint8_t>& pack, const PvkPackView& view, const PvkEntry& entry) {
    if (!entry.hasData) return "(none)";
    return Text(std::span(pack).subspan(view.content.offset + entry.dataOffset, entry.size));
}

std::optional<PvkPackView> Parse(const std::vector<std::uint8_t>& pack, std::string_view path = "C:\\m\\p.pvk") {
    return ParsePvkPack(pack, path, MarkConverted);
}

}  // namespace

TEST(PvkFormat, WriterPlacesEveryHeaderFieldWhereReadersLook) {
    const std::string variableBlock = "VARBLOCK";
    PvkWriteOptions options;
    options.variableBlock = Bytes(variableBlock);
    const std::vector<std::uint8_t> pack = MakePack({File("a", "", "xy")}, options);
    const std::string text = Text(pack);
    const std::size_t secondPart = 908 + variableBlock.size();
    EXPECT_EQ(text.substr(0, 4), "PVK2");
    EXPECT_EQ(text.substr(4, 4), Le(4, 4));
    EXPECT_EQ(text.substr(8, 896), std::string(896, '\0'));
    EXPECT_EQ(text.substr(904, 4), Le(variableBlock.size(), 4));
    EXPECT_EQ(text.substr(908, variableBlock.size()), variableBlock);
    EXPECT_EQ(text.substr(secondPart + 164, 8), Le(secondPart + 208, 4) + Le(Record("a", "", 2).size() + 2 + 2, 4));
    EXPECT_EQ(text.substr(secondPart + 208), Record("a", "", 2) + kEnd + "xy");

    const std::optional<PvkHeader> header = ParsePvkHeader(pack);
    ASSERT_TRUE(header);
    EXPECT_EQ(header->variableBlockSize, variableBlock.size());
    EXPECT_EQ(header->contentOffset, secondPart + 208);
}

TEST(PvkFormat, RoundTripKeepsNamesFieldsAndDataAndKeysEachEntry) {
    PvkPackEntry hero = File("hero.dds", "", "HERO");
    hero.fieldB = 1;
    hero.fieldC = 2;
    hero.fieldD2 = 3;
    hero.fieldE = 4;
    hero.fieldF = 0x1122334455667788ULL;
    const std::vector<std::uint8_t> pack = MakePack({
        hero,
        File("\xD6\xD0.wp", "Data//Maps/", ""),  // 中 in code page 936
        File("render.json", "", "{}"),
        File("中.txt", "文本", "text"),
    });
    const std::optional<PvkPackView> view = Parse(pack, "C:\\游戏\\mods\\sn05.pvk");
    ASSERT_TRUE(view);
    ASSERT_EQ(view->entries.size(), 4u);
    const PvkEntry& first = view->entries[0];
    EXPECT_EQ(first.key, "sn05\\hero.dds");
    EXPECT_EQ(first.fieldB, 1u);
    EXPECT_EQ(first.fieldD2, 3u);
    EXPECT_EQ(first.fieldE, 4u);
    EXPECT_EQ(first.fieldF, 0x1122334455667788ULL);
    EXPECT_EQ(DataOf(pack, *view, first), "HERO");

    EXPECT_EQ(view->entries[1].name, "\xD6\xD0.wp");  // kept as stored
    EXPECT_EQ(view->entries[1].directory, "Data//Maps/");
    EXPECT_EQ(view->entries[1].key, "Data\\Maps\\<\xD6\xD0.wp>");
    EXPECT_EQ(DataOf(pack, *view, view->entries[1]), "");
    EXPECT_EQ(view->entries[2].key, "render.json");
    EXPECT_EQ(view->entries[2].directory, "");
    EXPECT_EQ(DataOf(pack, *view, view->entries[2]), "{}");
    EXPECT_EQ(view->entries[3].key, "文本\\中.txt");
    EXPECT_EQ(DataOf(pack, *view, view->entries[3]), "text");
}

TEST(PvkFormat, HeaderIsRejectedWhenItsMagicIsWrongOrItIsCutShort) {
    const std::vector<std::uint8_t> good = MakePack({File("a", "", "x")});
    struct Case {
        const char* what;
        void (*damage)(std::vector<std::uint8_t>&);
        bool accepted;
    };
    const Case cases[] = {
        {"intact", [](std::vector<std::uint8_t>&) {}, true},
        {"PVK1", [](std::vector<std::uint8_t>& p) { p[3] = '1'; }, false},
        {"lower case", [](std::vector<std::uint8_t>& p) { p[0] = 'p'; }, false},
        {"other version", [](std::vector<std::uint8_t>& p) { PutU32(p, 4, 0x1234); }, true},
        {"907 bytes", [](std::vector<std::uint8_t>& p) { p.resize(907); }, false},
        {"second part cut", [](std::vector<std::uint8_t>& p) { p.resize(kHeaderEnd - 1); }, false},
        {"header only", [](std::vector<std::uint8_t>& p) { p.resize(kHeaderEnd); }, true},
        {"L past the file", [](std::vector<std::uint8_t>& p) { PutU32(p, 904, std::uint32_t(p.size())); }, false},
        {"L of 4 GiB", [](std::vector<std::uint8_t>& p) { PutU32(p, 904, 0xFFFFFFFF); }, false},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> pack = good;
        c.damage(pack);
        EXPECT_EQ(ParsePvkPack(pack, "p.pvk", MarkConverted).has_value(), c.accepted) << c.what;
    }
    // A header of exactly the fixed parts has an empty content block in the file.
    std::vector<std::uint8_t> headerOnly = good;
    headerOnly.resize(kHeaderEnd);
    EXPECT_TRUE(Parse(headerOnly)->entries.empty());
}

TEST(PvkFormat, EntryTableEndsAtItsTerminatorAndDataFollowsInTableOrder) {
    const PvkEntryTable none = ParseBlock(kEnd + "data");
    EXPECT_TRUE(none.entries.empty());
    EXPECT_FALSE(none.needsMoreBytes);

    // b's data would run past the block: c's data is looked for where b's began.
    const std::string table = Record("a", "", 3) + Record("b", "", 100) + Record("c", "", 2) + kEnd;
    EXPECT_EQ(Placement(ParseBlock(table + "AAACC")),
              "a@" + std::to_string(table.size()) + " b- c@" + std::to_string(table.size() + 3) + " ");

    // Data that ends exactly at the block's end fits; one byte more does not.
    const std::string pair = Record("a", "", 2) + Record("b", "", 3) + kEnd;
    EXPECT_EQ(Placement(ParseBlock(pair + "AABBB")), "a@" + std::to_string(pair.size()) + " b@" +
                                                         std::to_string(pair.size() + 2) + " ");
    EXPECT_EQ(Placement(ParseBlock(pair + "AABB")), "a@" + std::to_string(pair.size()) + " b- ");

    // A block shorter than the bytes given is cut to its size.
    const std::string bytes = pair + "AABBB";
    EXPECT_EQ(Placement(ParsePvkEntryTable(Bytes(bytes), static_cast<std::uint32_t>(bytes.size() - 1))),
              "a@" + std::to_string(pair.size()) + " b- ");
}

TEST(PvkFormat, FixedFieldsAreReadInTheirOrderWithCSkipped) {
    const std::string record = Le(1, 2) + "n" + Le(0, 2) + Le(0, 4) + Le(11, 4) + Le(22, 4) + Le(33, 4) +
                               Le(44, 4) + Le(0x5500000066ULL, 8);
    const PvkEntryTable table = ParseBlock(record + kEnd);
    ASSERT_EQ(table.entries.size(), 1u);
    const PvkEntry& entry = table.entries[0];
    EXPECT_EQ(std::to_string(entry.fieldB) + " " + std::to_string(entry.fieldD2) + " " +
                  std::to_string(entry.fieldE) + " " + std::to_string(entry.fieldF),
              "11 33 44 " + std::to_string(0x5500000066ULL));
}

TEST(PvkFormat, TruncatedTableKeepsTheWholeRecordsOnly) {
    const std::string first = Record("first", "", 0);
    const std::string second = Record("second", std::string(40, 'd'), 5);
    struct Case {
        const char* what;
        std::size_t keep;  // bytes of the second record that remain
    };
    const Case cases[] = {
        {"inside the name length", 1},
        {"inside the name", 5},
        {"inside the directory, 28 bytes left", 2 + 6 + 2 + 30},
        {"inside the fixed part", second.size() - 1},
    };
    for (const Case& c : cases) {
        const std::string block = first + second.substr(0, c.keep);
        // Without a terminator the table takes the whole block: only an empty
        // entry's data can lie there.
        EXPECT_EQ(Placement(ParseBlock(block)), "first@" + std::to_string(block.size()) + " ") << c.what;
        EXPECT_FALSE(ParseBlock(block).needsMoreBytes) << c.what;
    }
    const std::string whole = first + second + kEnd + "12345";
    EXPECT_EQ(Placement(ParseBlock(whole)), "first@" + std::to_string(whole.size() - 5) + " second@" +
                                                std::to_string(whole.size() - 5) + " ");
}

TEST(PvkFormat, TablePrefixAsksForMoreBytesUntilTheTableIsWhole) {
    const std::string block = Record("a", "dir", 2) + Record("b", "", 1) + kEnd + "AAB";
    const auto size = static_cast<std::uint32_t>(block.size());
    const std::size_t tableEnd = block.size() - 3;
    for (std::size_t given = 0; given < tableEnd; ++given) {
        EXPECT_TRUE(ParsePvkEntryTable(Bytes(block).first(given), size).needsMoreBytes) << given;
    }
    // The data itself need not be given to be placed.
    const PvkEntryTable table = ParsePvkEntryTable(Bytes(block).first(tableEnd), size);
    EXPECT_FALSE(table.needsMoreBytes);
    EXPECT_EQ(Placement(table), "a@" + std::to_string(tableEnd) + " b@" + std::to_string(tableEnd + 2) + " ");
}

TEST(PvkFormat, DataSizesThatWrapAroundThirtyTwoBitsDoNotFit) {
    const std::size_t tableSize = 2 * Record("a", "", 0).size() + 2;
    // position + size is 2^32 + 1: in 32 bits it would wrap to 1 and "fit".
    const auto wrapping = static_cast<std::uint32_t>(0x100000001ULL - tableSize);
    const std::string block = Record("a", "", wrapping) + Record("b", "", 2) + kEnd + "BB";
    EXPECT_EQ(Placement(ParseBlock(block)), "a- b@" + std::to_string(tableSize) + " ");
    const std::string huge = Record("a", "", 0xFFFFFFFF) + kEnd;
    EXPECT_EQ(Placement(ParseBlock(huge)), "a- ");
}

TEST(PvkFormat, ContentBlockIsCutToWhatTheFileHolds) {
    struct Case {
        std::uint32_t offset, size;
        std::uint64_t fileSize;
        std::uint32_t expectedSize;
    };
    const Case cases[] = {
        {100, 50, 200, 50},         {100, 150, 200, 100},          {100, 0xFFFFFFFF, 200, 100},
        {200, 10, 200, 0},          {0xFFFFFF00, 0x200, 1000, 0},  {0xFFFFFF00, 0x200, 0x100000080ULL, 0x180},
    };
    for (const Case& c : cases) {
        PvkHeader header;
        header.contentOffset = c.offset;
        header.contentSize = c.size;
        const PvkContentExtent extent = PvkContentInFile(header, c.fileSize);
        EXPECT_EQ(extent.offset, c.offset);
        EXPECT_EQ(extent.size, c.expectedSize) << c.offset << "+" << c.size << " in " << c.fileSize;
    }
}

TEST(PvkFormat, PackDeclaringMoreThanTheFileHoldsIsReadAsFarAsItGoes) {
    const std::vector<std::uint8_t> good = MakePack({File("a", "", "AAAA"), File("b", "", "BB")});
    std::vector<std::uint8_t> oversized = good;
    PutU32(oversized, kContentSizeField, 0xFFFFFFFF);
    const std::optional<PvkPackView> view = Parse(oversized);
    ASSERT_TRUE(view);
    EXPECT_EQ(view->content.size, good.size() - kHeaderEnd);
    EXPECT_EQ(DataOf(oversized, *view, view->entries[1]), "BB");

    std::vector<std::uint8_t> cut = good;
    cut.pop_back();  // b's data now ends past the file
    const std::optional<PvkPackView> cutView = Parse(cut);
    ASSERT_EQ(cutView->entries.size(), 2u);
    EXPECT_EQ(DataOf(cut, *cutView, cutView->entries[0]), "AAAA");
    EXPECT_FALSE(cutView->entries[1].hasData);

    for (const std::uint32_t offset : {std::uint32_t(good.size()), 0xFFFFFFF0u}) {
        std::vector<std::uint8_t> outside = good;
        PutU32(outside, kContentOffsetField, offset);
        EXPECT_TRUE(Parse(outside)->entries.empty()) << offset;
    }
}

TEST(PvkFormat, OnlyShortValidUtf8IsKeptUnconverted) {
    const std::pair<std::string, bool> cases[] = {
        {"", true},
        {"plain.dds", true},
        {"caf\xC3\xA9", true},           // é
        {"\xE4\xB8\xAD\xE6\x96\x87", true},  // 中文
        {"\xEF\xBF\xBD", true},          // the largest 3-byte lead
        {"\xD6\xD0\xCE\xC4", false},     // 中文 in code page 936
        {"\xC1\xBF", false},             // overlong lead
        {"\xE0\x80\x80", false},         // overlong 3-byte form
        {"\xED\xA0\x80", false},         // surrogate
        {"\xE4\xB8", false},             // cut short
        {"\xE4\x41\x41", false},         // lead without continuations
        {"\xF0\x9F\x98\x80", false},     // 4-byte characters are not taken as UTF-8
        {"a\x80", false},
    };
    for (const auto& [text, kept] : cases) {
        EXPECT_EQ(ToUtf8IfNeeded(text, MarkConverted), kept ? text : "<" + text + ">") << text;
    }
}

TEST(PvkFormat, KeysJoinDirectoryAndNameAndCleanThePath) {
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"", "a.dds", "a.dds"},
        {"Data//Maps/", "x.wp", "Data\\Maps\\x.wp"},
        {"dir\\", "a", "dir\\a"},
        {"", "/a//b", "\\a\\b"},
        {"\xD6\xD0", "\xB5\xB6", "<\xD6\xD0>\\<\xB5\xB6>"},
    };
    for (const auto& [directory, name, key] : cases) {
        EXPECT_EQ(PvkEntryKey(directory, name, MarkConverted), key) << directory << "|" << name;
    }
}

TEST(PvkFormat, LooseFilesGoIntoTheFolderNamedAfterThePack) {
    const std::pair<const char*, const char*> stems[] = {
        {"C:\\mods\\sn05.pvk", "sn05"}, {"sn05.final.pvk", "sn05.final"}, {"C:/a.b/pack", ""},
        {"C:\\mods\\.pvk", ""},         {"C:\\a.b/c.pvk", "c"},
    };
    for (const auto& [path, stem] : stems) EXPECT_EQ(PvkPackStem(path), stem) << path;

    std::vector<PvkEntry> entries(3);
    entries[0].name = "a.wp";
    entries[1].name = "render.json";
    entries[2].name = "b.wp";
    entries[2].directory = "keep";
    NamePvkEntries(entries, "D:\\game\\sn05.pvk", MarkConverted);
    EXPECT_EQ(entries[0].key + " " + entries[1].key + " " + entries[2].key, "sn05\\a.wp render.json keep\\b.wp");
    NamePvkEntries(entries, "D:\\game\\pack", MarkConverted);
    EXPECT_EQ(entries[1].key, "render.json");
}

TEST(PvkFormat, IndexPointsAtEachFilesBytesAndLaterEntriesWin) {
    std::vector<std::uint8_t> pack = MakePack({
        File("a.dds", "tex", "AAA"),
        File("k", "x", "first"),
        File("k", "x/", "second"),  // the same key as the entry before
        File("empty", "tex", ""),
        File("last", "tex", "ZZ"),
    });
    pack.pop_back();  // the last file's data now runs past the file
    const std::optional<PvkPackView> view = Parse(pack);
    ASSERT_TRUE(view);
    const PvkIndex index = BuildPvkIndex(view->entries, view->content.offset);
    std::string found;
    for (const auto& [key, range] : index) {
        found += key + "=" + Text(std::span(pack).subspan(static_cast<std::size_t>(range.offset), range.size)) + " ";
    }
    EXPECT_EQ(found, "tex\\a.dds=AAA tex\\empty= x\\k=second ");
}

TEST(PvkFormat, WriterRefusesWhatTheFormatCannotHold) {
    const std::string longText(70000, 'n');
    PvkWriteOptions insideHeader;
    insideHeader.contentOffset = kHeaderEnd - 1;
    const std::tuple<const char*, PvkPackEntry, PvkWriteOptions, PvkWriteError> cases[] = {
        {"empty name", File("", "d", "x"), {}, PvkWriteError::EmptyName},
        {"long name", File(longText, "", "x"), {}, PvkWriteError::NameTooLong},
        {"longest name", File(longText.substr(0, 65535), "", "x"), {}, PvkWriteError::None},
        {"long directory", File("a", longText, "x"), {}, PvkWriteError::DirectoryTooLong},
        {"offset inside header", File("a", "", "x"), insideHeader, PvkWriteError::ContentOffsetInsideHeader},
    };
    for (const auto& [what, entry, options, error] : cases) {
        std::vector<std::uint8_t> out;
        EXPECT_EQ(WritePvk(std::span(&entry, 1), options, out), error) << what;
    }
}

TEST(PvkFormat, WriterLeavesZeroBytesBeforeAContentBlockPlacedFurtherOn) {
    PvkWriteOptions options;
    options.contentOffset = kHeaderEnd + 10;
    const std::vector<std::uint8_t> pack = MakePack({File("a", "d", "xyz")}, options);
    EXPECT_EQ(Text(std::span(pack).subspan(kHeaderEnd, 10)), std::string(10, '\0'));
    const std::optional<PvkPackView> view = Parse(pack);
    ASSERT_TRUE(view);
    EXPECT_EQ(view->content.offset, kHeaderEnd + 10);
    EXPECT_EQ(DataOf(pack, *view, view->entries.at(0)), "xyz");
}
