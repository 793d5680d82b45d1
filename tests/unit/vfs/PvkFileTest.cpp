// Reading packs from disk: whole packs, ranges and archive indexes.
#include <gtest/gtest.h>

#include <ctime>

#include "PackBytes.h"
#include "support/TempDir.h"
#include "vfs/PvkFile.h"

using namespace modroute;
using namespace packbytes;
using testsupport::TempDir;

namespace {

std::string Write(const TempDir& dir, const std::string& name, const std::vector<std::uint8_t>& pack) {
    dir.Write(name, Text(pack));
    return dir / name;
}

std::string Slice(const PvkFileContents& contents, const PvkEntry& entry) {
    if (!entry.hasData) return "(none)";
    return Text(std::span(*contents.content).subspan(entry.dataOffset, entry.size));
}

std::string Range(const std::string& path, std::uint64_t offset, std::uint32_t size) {
    std::vector<std::uint8_t> out{1, 2, 3};
    if (!ReadPvkRange(path, offset, size, out)) return out.empty() ? "(failed)" : "(failed, data left)";
    return Text(out);
}

}  // namespace

TEST(PvkFile, ParseReadsAPackWithChineseNamesThroughOneSharedBlock) {
    const TempDir dir("\xE6\xB8\xB8\xE6\x88\x8F");  // 游戏
    const std::string path = Write(dir, "sn05.pvk", MakePack({
        File("\xB5\xB6.dds", "", "BLADE"),  // 刀 in code page 936, loose in the pack
        File("地图.wp", "Data/Maps", "MAP"),
        File("render.json", "", "{}"),
    }));
    PvkFileContents contents;
    ASSERT_EQ(ParsePvkFile(path, contents), PvkReadStatus::Ok);
    ASSERT_EQ(contents.entries.size(), 3u);
    EXPECT_EQ(contents.entries[0].key, "sn05\\刀.dds");
    EXPECT_EQ(contents.entries[1].key, "Data\\Maps\\地图.wp");
    EXPECT_EQ(contents.entries[2].key, "render.json");
    EXPECT_EQ(Slice(contents, contents.entries[0]) + Slice(contents, contents.entries[1]) +
                  Slice(contents, contents.entries[2]),
              "BLADEMAP{}");
}

TEST(PvkFile, ParseReportsWhyAFileIsNoPack) {
    const TempDir dir;
    const std::vector<std::uint8_t> good = MakePack({File("a", "", "x")});
    std::vector<std::uint8_t> wrongMagic = good;
    wrongMagic[3] = '3';
    const std::vector<std::uint8_t> cutHead(good.begin(), good.begin() + 907);
    const std::vector<std::uint8_t> cutSecondPart(good.begin(), good.begin() + kHeaderEnd - 1);
    const std::pair<std::string, PvkReadStatus> cases[] = {
        {dir / "missing.pvk", PvkReadStatus::CannotOpen},
        {Write(dir, "magic.pvk", wrongMagic), PvkReadStatus::NotAPack},
        {Write(dir, "head.pvk", cutHead), PvkReadStatus::ShortHeader},
        {Write(dir, "second.pvk", cutSecondPart), PvkReadStatus::ShortHeader},
        {Write(dir, "good.pvk", good), PvkReadStatus::Ok},
    };
    for (const auto& [path, status] : cases) {
        PvkFileContents contents;
        contents.entries.resize(1);  // left over from an earlier read
        EXPECT_EQ(ParsePvkFile(path, contents), status) << path;
        EXPECT_EQ(contents.entries.size(), status == PvkReadStatus::Ok ? 1u : 0u) << path;
    }
}

TEST(PvkFile, OversizedContentBlockIsReadOnlyAsFarAsTheFileGoes) {
    const TempDir dir;
    std::vector<std::uint8_t> pack = MakePack({File("a", "d", "AAAA"), File("b", "d", "BB")});
    const std::size_t blockInFile = pack.size() - kHeaderEnd;
    PutU32(pack, kContentSizeField, 0xFFFFFFF0);
    const std::string path = Write(dir, "big.pvk", pack);
    PvkFileContents contents;
    ASSERT_EQ(ParsePvkFile(path, contents), PvkReadStatus::Ok);
    EXPECT_EQ(contents.content->size(), blockInFile);
    ASSERT_EQ(contents.entries.size(), 2u);
    EXPECT_EQ(Slice(contents, contents.entries[1]), "BB");

    PutU32(pack, kContentOffsetField, 0xFFFFFF00);
    const std::string outside = Write(dir, "outside.pvk", pack);
    ASSERT_EQ(ParsePvkFile(outside, contents), PvkReadStatus::Ok);
    EXPECT_TRUE(contents.content->empty());
    EXPECT_TRUE(contents.entries.empty());
}

TEST(PvkFile, RangeReadsGiveAllTheBytesOrNone) {
    const TempDir dir;
    dir.Write("r.pvk", "0123456789");
    const std::string path = dir / "r.pvk";
    const std::tuple<std::uint64_t, std::uint32_t, std::string> cases[] = {
        {0, 10, "0123456789"},
        {3, 4, "3456"},
        {7, 3, "789"},
        {10, 0, ""},
        {8, 3, "(failed)"},
        {11, 0, "(failed)"},
        {0xFFFFFFFFFFFFFFF0ULL, 0x20, "(failed)"},  // offset + size wraps around
        {2, 0xFFFFFFFF, "(failed)"},                 // refused before any allocation
    };
    for (const auto& [offset, size, expected] : cases) {
        EXPECT_EQ(Range(path, offset, size), expected) << offset << "+" << size;
    }
    EXPECT_EQ(Range(dir / "missing.pvk", 0, 1), "(failed)");
}

TEST(PvkFile, ArchiveIndexLeadsReadsToEachFilesBytes) {
    const TempDir dir("\xE6\xA8\xA1\xE7\xBB\x84");  // 模组
    std::vector<std::uint8_t> pack = MakePack({
        File("a.dds", "", "AAA"),
        File("\xB5\xB6.wp", "maps", "BLADE"),
        File("late", "", "LATE"),
    });
    pack.resize(pack.size() - 1);  // the last file's data now runs past the end
    const std::string path = Write(dir, "sn07.pvk", pack);
    const std::int64_t before = std::time(nullptr);
    const std::optional<PvkArchive> archive = LoadPvkArchiveIndex(path);
    ASSERT_TRUE(archive);
    EXPECT_EQ(archive->path, path);
    EXPECT_GE(archive->loadTime, before - 1);
    EXPECT_LE(archive->loadTime, std::time(nullptr) + 1);
    std::string found;
    for (const auto& [key, range] : archive->index) found += key + "=" + Range(path, range.offset, range.size) + " ";
    EXPECT_EQ(found, "maps\\刀.wp=BLADE sn07\\a.dds=AAA ");

    std::vector<std::uint8_t> notAPack = pack;
    notAPack[0] = 'X';
    EXPECT_FALSE(LoadPvkArchiveIndex(Write(dir, "x.pvk", notAPack)));
    EXPECT_FALSE(LoadPvkArchiveIndex(dir / "missing.pvk"));
}

TEST(PvkFile, ArchiveIndexReadsOnWhenTheTableIsLongerThanItsFirstLook) {
    const TempDir dir;
    std::vector<std::string> data;
    std::vector<PvkPackEntry> entries;
    for (int i = 0; i < 3000; ++i) data.push_back("data" + std::to_string(i));
    for (int i = 0; i < 3000; ++i) {
        entries.push_back(File("file_with_a_long_enough_name_" + std::to_string(i), "dir", data[i]));
    }
    const std::string path = Write(dir, "long.pvk", MakePack(entries));
    const std::optional<PvkArchive> archive = LoadPvkArchiveIndex(path);
    ASSERT_TRUE(archive);
    ASSERT_EQ(archive->index.size(), 3000u);
    const PvkRange last = archive->index.at("dir\\file_with_a_long_enough_name_2999");
    EXPECT_EQ(Range(path, last.offset, last.size), "data2999");
}
