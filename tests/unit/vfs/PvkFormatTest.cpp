// The pack format and pack files. The fuzz targets check the reader against
// the writer and the table rules on any bytes; these cases pin the layout
// itself and one case of each edge.
#include <gtest/gtest.h>

#include "PackBytes.h"
#include "support/TempDir.h"
#include "vfs/PvkFile.h"
#include "vfs/Wildcard.h"

using namespace modroute;
using namespace packbytes;
using testsupport::TempDir;

namespace {

std::string Le(std::uint64_t value, int width) {
    std::string bytes;
    for (int i = 0; i < width; ++i) bytes += static_cast<char>(value >> (8 * i));
    return bytes;
}
std::string Mark(std::string_view text) { return "<" + std::string(text) + ">"; }
constexpr std::size_t kHeaderEnd = 908 + 208;  // without a variable block

}  // namespace

TEST(PvkFormat, WriterLaysOutHeaderTableAndDataAtTheirOffsets) {
    PvkPackEntry entry = File("a", "d", "xy");
    entry.fieldB = 1, entry.fieldC = 2, entry.fieldD2 = 3, entry.fieldE = 4, entry.fieldF = 0x500000006ULL;
    PvkWriteOptions options;
    options.variableBlock = Bytes("VARBLOCK");
    options.contentOffset = 908 + 8 + 208 + 3;
    const std::string pack = MakePack({entry}, options);
    const std::string record = Le(1, 2) + "a" + Le(1, 2) + "d" + Le(2, 4) + Le(1, 4) + Le(2, 4) + Le(3, 4) +
                               Le(4, 4) + Le(0x500000006ULL, 8);
    EXPECT_EQ(pack.substr(0, 8), "PVK2" + Le(4, 4));
    EXPECT_EQ(pack.substr(8, 896), std::string(896, '\0'));
    EXPECT_EQ(pack.substr(904, 12), Le(8, 4) + "VARBLOCK");
    EXPECT_EQ(pack.substr(916 + 164, 8), Le(*options.contentOffset, 4) + Le(record.size() + 2 + 2, 4));
    EXPECT_EQ(pack.substr(916 + 208), std::string(3, '\0') + record + Le(0, 2) + "xy");
    for (const auto& [size, error] : {std::pair{65535, PvkWriteError::None}, {65536, PvkWriteError::NameTooLong}}) {
        const PvkPackEntry longName = File(std::string(size, 'n'), "", "");
        std::vector<std::uint8_t> out;
        EXPECT_EQ(WritePvk(std::span(&longName, 1), {}, out), error) << size;
    }
}

TEST(PvkFormat, EdgesOfHeaderTableAndKeys) {
    std::string pack = MakePack({File("a", "", "x")});
    pack.replace(904, 4, Le(pack.size(), 4));  // a variable block past the file
    EXPECT_FALSE(ParsePvkPack(Bytes(pack), "p.pvk", Mark));
    PvkHeader header;
    header.contentOffset = 0xFFFFFF00, header.contentSize = 0x200;  // the end wraps around in 32 bits
    EXPECT_EQ(PvkContentInFile(header, 1000).size, 0u);
    EXPECT_EQ(PvkContentInFile(header, 0x100000080ULL).size, 0x180u);
    // A record: name, directory, size, then 24 bytes. c's data is looked for
    // where b's would have been; position + size wrapping to 1 in 32 bits gives no data.
    const auto record = [](const char* name, std::uint32_t size) {
        return Le(1, 2) + name + Le(0, 2) + Le(size, 4) + std::string(24, '\0');
    };
    for (const auto& [block, placement] :
         {std::pair{record("a", 3) + record("b", 100) + record("c", 2) + Le(0, 2) + "AAACC", "a@101 b- c@104 "},
          std::pair{record("a", std::uint32_t(0x100000001ULL - 68)) + record("b", 2) + Le(0, 2) + "BB", "a- b@68 "}}) {
        std::string text;
        for (const PvkEntry& e : ParsePvkEntryTable(Bytes(block), std::uint32_t(block.size())).entries) {
            text += e.name + (e.hasData ? "@" + std::to_string(e.dataOffset) : "-") + " ";
        }
        EXPECT_EQ(text, placement);
    }
    // Only well-formed UTF-8 of up to three bytes is kept unconverted.
    EXPECT_EQ(ToUtf8IfNeeded("\xE4\xB8\xAD", Mark), "\xE4\xB8\xAD");
    EXPECT_EQ(ToUtf8IfNeeded("\xF0\x9F\x98\x80", Mark), Mark("\xF0\x9F\x98\x80"));
    // A directory that cannot be converted must not key its file into the root.
    EXPECT_EQ(PvkEntryKey("\xD6\xD0", "a.dds", [](std::string_view) { return std::string(); }), "");
    EXPECT_EQ(PvkPackStem("C:\\a.b/c.pvk"), "c");
    EXPECT_EQ(PvkPackStem("C:/a.b/pack"), "");
}

TEST(PvkFile, ParseSaysWhyAFileIsNoneAndReadsAsFarAsTheFileGoes) {
    const TempDir dir("\xE6\xB8\xB8\xE6\x88\x8F");  // 游戏
    const std::string good = MakePack({File("\xB5\xB6.dds", "", "BLADE"), File("b", "Data/Maps", "BB")});
    dir.Write("magic.pvk", "PVK3" + good.substr(4));
    dir.Write("second.pvk", good.substr(0, kHeaderEnd - 1));
    std::string big = good;
    big.replace(908 + 168, 4, Le(0xFFFFFFF0, 4));  // a content block beyond the file
    dir.Write("sn05.pvk", big);
    PvkFileContents contents;
    for (const auto& [name, status] : {std::pair{"missing.pvk", PvkReadStatus::CannotOpen},
                                       {"magic.pvk", PvkReadStatus::NotAPack}, {"second.pvk", PvkReadStatus::ShortHeader}}) {
        contents.entries.resize(1);  // left over from an earlier read
        EXPECT_EQ(ParsePvkFile(dir / name, contents), status) << name;
        EXPECT_TRUE(contents.entries.empty()) << name;
    }
    ASSERT_EQ(ParsePvkFile(dir / "sn05.pvk", contents), PvkReadStatus::Ok);
    EXPECT_EQ(contents.content->size(), big.size() - kHeaderEnd);
    std::string listing;
    for (const PvkEntry& e : contents.entries) listing += e.key + "=" + Text(std::span(*contents.content).subspan(e.dataOffset, e.size)) + " ";
    EXPECT_EQ(listing, "sn05\\刀.dds=BLADE Data\\Maps\\b=BB ");
    // Range reads give all the bytes or none.
    std::vector<std::uint8_t> out;
    EXPECT_TRUE(ReadPvkRange(dir / "sn05.pvk", good.size() - 2, 2, out) && Text(out) == "BB");
    for (const auto& [offset, size] : {std::pair{std::uint64_t(good.size() - 1), 2u}, {0xFFFFFFFFFFFFFFF0ULL, 0x20u}}) {
        EXPECT_FALSE(ReadPvkRange(dir / "sn05.pvk", offset, size, out)) << offset;
        EXPECT_TRUE(out.empty());
    }
}

TEST(PvkFile, ArchiveIndexReadsOnWhileTheTableRunsOn) {
    const TempDir dir;
    std::vector<std::string> names;
    for (int i = 0; i < 3000; ++i) names.push_back("file_with_a_long_enough_name_" + std::to_string(i));
    std::vector<PvkPackEntry> entries;
    for (const std::string& name : names) entries.push_back(File(name, "dir", "n"));
    entries.push_back(File("late", "", "LATE"));  // a table of about 200 KiB in all
    const std::string pack = MakePack(entries);
    dir.Write("sn07.pvk", pack.substr(0, pack.size() - 1));  // the last file's data runs past the end
    const std::optional<PvkArchive> archive = LoadPvkArchiveIndex(dir / "sn07.pvk");
    ASSERT_TRUE(archive);
    EXPECT_EQ(archive->index.size(), 3000u);
    const PvkRange& last = archive->index.at("dir\\" + names.back());
    EXPECT_EQ(pack.substr(std::size_t(last.offset), last.size), "n");
    EXPECT_FALSE(LoadPvkArchiveIndex(dir / "missing.pvk"));
}

// The rules of FindFirstFileA's matching, one case each; the fuzz target
// compares the matcher with a plain reading of them.
TEST(Wildcard, MatchesAsTheSystemSearchDoes) {
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"a", "a*", true},          {"readme", "*.*", true},        {"Map.WP", "map.wp", true},
        {"noext", "noext. ", true}, {"中文.txt", "??.txt", true}, {"\xC3\x89", "\xC3\xA9", false},
    };
    for (const auto& [name, pattern, matches] : cases) EXPECT_EQ(WildcardMatch(name, pattern), matches) << name << pattern;
}
