// The pack format and pack files. The fuzz targets check the reader against
// the writer and the table rules on any bytes; these cases pin the layout
// itself and one case of each edge.
#include <gtest/gtest.h>

#include <map>

#include "PackBytes.h"
#include "support/TempDir.h"
#include "vfs/PvkFile.h"
#include "vfs/Wildcard.h"

using namespace modroute;
using namespace packbytes;

namespace {

std::string Le(std::uint64_t value, int width) {
    std::string bytes;
    for (int i = 0; i < width; ++i) bytes += static_cast<char>(value >> (8 * i));
    return bytes;
}
std::string Mark(std::string_view text) { return "<" + std::string(text) + ">"; }

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
    EXPECT_EQ(pack.substr(0, 904), "PVK2" + Le(4, 4) + std::string(896, '\0'));
    EXPECT_EQ(pack.substr(904, 12), Le(8, 4) + "VARBLOCK");
    EXPECT_EQ(pack.substr(916 + 164, 8), Le(*options.contentOffset, 4) + Le(record.size() + 2 + 2, 4));
    EXPECT_EQ(pack.substr(916 + 208), std::string(3, '\0') + record + Le(0, 2) + "xy");
}

TEST(PvkFormat, EdgesOfTableAndKeys) {
    // Records: name, directory, size, then 24 bytes. c's data is looked for
    // where b's would have been, and ends exactly at the block's end.
    const auto record = [](const char* name, std::uint32_t size) { return Le(1, 2) + name + Le(0, 2) + Le(size, 4) + std::string(24, '\0'); };
    const std::string block = record("a", 3) + record("b", 100) + record("c", 2) + Le(0, 2) + "AAACC";
    std::string placement;
    for (const PvkEntry& e : ParsePvkEntryTable(Bytes(block), std::uint32_t(block.size())).entries) {
        placement += e.name + (e.hasData ? "@" + std::to_string(e.dataOffset) : "-") + " ";
    }
    EXPECT_EQ(placement, "a@101 b- c- ");  // past b the data no longer adds up
    EXPECT_EQ(ToUtf8IfNeeded("\xF0\x9F\x98\x80", Mark), Mark("\xF0\x9F\x98\x80"));  // only up to three bytes kept
    // Valid both ways: 学 (D1 A7) is Chinese, not Cyrillic; Zoë is Zoë.
    EXPECT_EQ(ToUtf8IfNeeded("\xD1\xA7.dds", Mark), Mark("\xD1\xA7.dds"));
    EXPECT_EQ(ToUtf8IfNeeded("Zo\xC3\xAB", Mark), "Zo\xC3\xAB");
    // A directory that cannot be converted must not key its file into the root.
    EXPECT_EQ(PvkEntryKey("\xD6\xD0", "a.dds", [](std::string_view) { return std::string(); }), "");
}

// A pack cut anywhere (an interrupted copy) gives whole entries of its own
// bytes or none; everything is there when nothing is cut.
TEST(PvkFormat, APackCutAnywhereNeverGivesAnEntryOtherBytes) {
    const std::map<std::string, std::string> files = {{"a", "AAAA"}, {"b", std::string(300, 'B')}, {"c", "CC"}, {"e", ""}};
    std::vector<PvkPackEntry> entries;
    for (const auto& [name, data] : files) entries.push_back(File(name, "d", data));
    const std::string pack = MakePack(entries);
    for (std::size_t cut = 1116; cut <= pack.size(); ++cut) {
        const std::string bytes = pack.substr(0, cut);
        const std::optional<PvkPackView> view = ParsePvkPack(Bytes(bytes), "p.pvk", Mark);
        ASSERT_TRUE(view);
        std::size_t whole = 0;
        for (const PvkEntry& e : view->entries) {
            if (!e.hasData) continue;
            ++whole;
            EXPECT_EQ(bytes.substr(view->content.offset + e.dataOffset, e.size), files.at(e.name)) << cut;
        }
        EXPECT_TRUE(cut < pack.size() || whole == files.size());
    }
}

TEST(PvkFile, ParseSaysWhyAFileIsNoneAndReadsAsFarAsTheFileGoes) {
    const testsupport::TempDir dir("\xE6\xB8\xB8\xE6\x88\x8F");  // 游戏
    const std::string good = MakePack({File("\xB5\xB6.dds", "", "BLADE")});
    dir.Write("magic.pvk", "PVK3" + good.substr(4));
    dir.Write("short.pvk", good.substr(0, 908 + 207));
    std::string big = good;
    big.replace(908 + 168, 4, Le(0xFFFFFFF0, 4));  // a content block beyond the file
    dir.Write("sn05.pvk", big);
    PvkFileContents contents;
    for (const auto& [name, status] : {std::pair{"missing.pvk", PvkReadStatus::CannotOpen},
                                       {"magic.pvk", PvkReadStatus::NotAPack}, {"short.pvk", PvkReadStatus::ShortHeader}}) {
        contents.entries.resize(1);  // left over from an earlier read
        EXPECT_EQ(ParsePvkFile(dir / name, contents), status) << name;
        EXPECT_TRUE(contents.entries.empty()) << name;
    }
    ASSERT_EQ(ParsePvkFile(dir / "sn05.pvk", contents), PvkReadStatus::Ok);
    ASSERT_EQ(contents.entries.size(), 1u);
    EXPECT_EQ(contents.entries[0].key, "sn05\\刀.dds");  // loose files take the pack's stem
    std::vector<std::uint8_t> out;
    EXPECT_FALSE(PvkPackFile(dir / "sn05.pvk").ReadRange(0xFFFFFFFFFFFFFFF0ULL, 0x20, out));  // offset + size wraps around
    // An archive index reads on while its table runs on, here about 200 KiB.
    std::vector<PvkPackEntry> entries;
    for (int i = 0; i < 3000; ++i) entries.push_back(File("file_with_a_long_enough_name_" + std::to_string(i), "dir", "n"));
    dir.Write("sn07.pvk", MakePack(entries));
    const std::optional<PvkArchive> archive = LoadPvkArchiveIndex(dir / "sn07.pvk");
    ASSERT_TRUE(archive);
    EXPECT_EQ(archive->index.count("dir\\file_with_a_long_enough_name_2999"), 1u);
}

// The rules of FindFirstFileA's matching, one case each; the fuzz target
// compares the matcher with a plain reading of them.
TEST(Wildcard, MatchesAsTheSystemSearchDoes) {
    EXPECT_TRUE(WildcardMatch("readme", "*.*"));
    EXPECT_TRUE(WildcardMatch("noext", "noext. "));
    EXPECT_TRUE(WildcardMatch("中文.txt", "??.txt"));
    EXPECT_FALSE(WildcardMatch("\xC3\x89", "\xC3\xA9"));  // only ASCII letters are folded
}
