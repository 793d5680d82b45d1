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

// Every entry's key and data, read from the shared block.
std::string Listing(const PvkFileContents& contents) {
    std::string text;
    for (const PvkEntry& e : contents.entries) {
        text += e.key + "=" + (e.hasData ? Text(std::span(*contents.content).subspan(e.dataOffset, e.size)) : "-") + " ";
    }
    return text;
}

std::string Range(const std::string& path, std::uint64_t offset, std::uint32_t size) {
    std::vector<std::uint8_t> out{1, 2, 3};
    if (!ReadPvkRange(path, offset, size, out)) return out.empty() ? "(failed)" : "(failed, data left)";
    return Text(out);
}

}  // namespace

TEST(PvkFile, ParseReadsAPackOrSaysWhyAFileIsNoneAndLeavesNothingBehind) {
    const TempDir dir("\xE6\xB8\xB8\xE6\x88\x8F");  // 游戏
    PvkWriteOptions withVariableBlock;
    withVariableBlock.variableBlock = Bytes("VARIABLE");
    const std::vector<std::uint8_t> good = MakePack({File("\xB5\xB6.dds", "", "BLADE"),  // 刀 in code page 936
                                                     File("地图.wp", "Data/Maps", "MAP")}, withVariableBlock);
    std::vector<std::uint8_t> wrongMagic = good;
    wrongMagic[3] = '3';
    const std::pair<std::string, PvkReadStatus> cases[] = {
        {dir / "missing.pvk", PvkReadStatus::CannotOpen},
        {Write(dir, "magic.pvk", wrongMagic), PvkReadStatus::NotAPack},
        {Write(dir, "head.pvk", {good.begin(), good.begin() + 907}), PvkReadStatus::ShortHeader},
        {Write(dir, "second.pvk", {good.begin(), good.begin() + kHeaderEnd + 8 - 1}), PvkReadStatus::ShortHeader},
    };
    PvkFileContents contents;
    for (const auto& [path, status] : cases) {
        contents.entries.resize(1);  // left over from an earlier read
        EXPECT_EQ(ParsePvkFile(path, contents), status) << path;
        EXPECT_TRUE(contents.entries.empty()) << path;
    }
    ASSERT_EQ(ParsePvkFile(Write(dir, "sn05.pvk", good), contents), PvkReadStatus::Ok);
    EXPECT_EQ(Listing(contents), "sn05\\刀.dds=BLADE Data\\Maps\\地图.wp=MAP ");

    // A content block beyond the file is read only as far as the file goes.
    std::vector<std::uint8_t> pack = MakePack({File("a", "d", "AAAA"), File("b", "d", "BB")});
    PutU32(pack, kContentSizeField, 0xFFFFFFF0);
    ASSERT_EQ(ParsePvkFile(Write(dir, "big.pvk", pack), contents), PvkReadStatus::Ok);
    EXPECT_EQ(contents.content->size(), pack.size() - kHeaderEnd);
    EXPECT_EQ(Listing(contents), "d\\a=AAAA d\\b=BB ");
    PutU32(pack, kContentOffsetField, 0xFFFFFF00);
    ASSERT_EQ(ParsePvkFile(Write(dir, "outside.pvk", pack), contents), PvkReadStatus::Ok);
    EXPECT_EQ(contents.content->size() + contents.entries.size(), 0u);
}

TEST(PvkFile, RangeReadsGiveAllTheBytesOrNone) {
    const TempDir dir;
    dir.Write("r.pvk", "0123456789");
    const std::string path = dir / "r.pvk";
    const std::tuple<std::uint64_t, std::uint32_t, std::string> cases[] = {
        {0, 10, "0123456789"}, {7, 3, "789"}, {10, 0, ""}, {8, 3, "(failed)"}, {11, 0, "(failed)"},
        {0xFFFFFFFFFFFFFFF0ULL, 0x20, "(failed)"},  // offset + size wraps around
        {2, 0xFFFFFFFF, "(failed)"},                 // refused before any allocation
    };
    for (const auto& [offset, size, expected] : cases) EXPECT_EQ(Range(path, offset, size), expected) << offset;
    EXPECT_EQ(Range(dir / "missing.pvk", 0, 1), "(failed)");
}

TEST(PvkFile, ArchiveIndexLeadsReadsToEachFilesBytesReadingOnWhileTheTableRunsOn) {
    const TempDir dir("\xE6\xA8\xA1\xE7\xBB\x84");  // 模组
    std::vector<std::string> numbers;
    for (int i = 0; i < 3000; ++i) numbers.push_back(std::to_string(i));
    std::vector<PvkPackEntry> entries = {File("a.dds", "", "AAA"), File("\xB5\xB6.wp", "maps", "BLADE")};
    for (const std::string& n : numbers) entries.push_back(File("file_with_a_long_enough_name_" + n, "dir", n));
    entries.push_back(File("late", "", "LATE"));  // a table of about 200 KiB in all
    std::vector<std::uint8_t> pack = MakePack(entries);
    pack.pop_back();  // the last file's data now runs past the end
    const std::string path = Write(dir, "sn07.pvk", pack);
    const std::int64_t before = std::time(nullptr);
    const std::optional<PvkArchive> archive = LoadPvkArchiveIndex(path);
    ASSERT_TRUE(archive);
    EXPECT_EQ(archive->path, path);
    EXPECT_TRUE(archive->loadTime >= before - 1 && archive->loadTime <= std::time(nullptr) + 1) << archive->loadTime;
    std::string found = std::to_string(archive->index.size()) + " ";
    for (const char* key : {"sn07\\a.dds", "maps\\刀.wp", "dir\\file_with_a_long_enough_name_2999", "sn07\\late"}) {
        const auto at = archive->index.find(key);
        found += at == archive->index.end() ? "- " : Range(path, at->second.offset, at->second.size) + " ";
    }
    EXPECT_EQ(found, "3002 AAA BLADE 2999 - ");

    pack[0] = 'X';
    EXPECT_FALSE(LoadPvkArchiveIndex(Write(dir, "x.pvk", pack)));
    EXPECT_FALSE(LoadPvkArchiveIndex(dir / "missing.pvk"));
}
