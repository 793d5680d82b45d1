// modroute pvk: the committed sample pack still what the tool builds from its
// folder, listed with the offsets at which each file's bytes really lie and
// extracted back unchanged; keys that would leave the extraction folder
// refused; the problems verify names in damaged packs.
#include "ToolRun.h"
#include "support/TempDir.h"
#include "vfs/PvkFormat.h"

using tooltest::Contains;
using tooltest::HasLine;
using tooltest::Modroute;
using testsupport::TempDir;

namespace {

std::string MakePack(const std::vector<modroute::PvkPackEntry>& entries) {
    std::vector<std::uint8_t> pack;
    EXPECT_EQ(modroute::WritePvk(entries, {}, pack), modroute::PvkWriteError::None);
    return std::string(pack.begin(), pack.end());
}

modroute::PvkPackEntry Entry(const std::string& directory, const std::string& name, const std::string& data) {
    return {name, directory, {reinterpret_cast<const std::uint8_t*>(data.data()), data.size()}};
}

void PutU32(std::string& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
}

constexpr std::size_t kContentOffsetField = 908 + 164;
constexpr std::size_t kContentSizeField = 908 + 168;
constexpr std::size_t kHeaderEnd = 908 + 208;

}  // namespace

TEST(ToolPvk, SamplePackIsWhatTheToolBuildsListsAndExtractsBack) {
    TempDir work("work");
    const std::string folder = gamerun::SampleFolder() + "\\packs\\UITexture";
    const std::string committed = gamerun::SampleFolder() + "\\game\\mods\\Blades\\UITexture.pvk";
    gamerun::ProgramRun run = Modroute({"pvk", "pack", folder, work / "UITexture.pvk"});
    ASSERT_EQ(run.exitCode, 0u) << run.out << run.err;
    const std::string packBytes = TempDir::ReadFile(committed);
    EXPECT_EQ(TempDir::ReadFile(work / "UITexture.pvk"), packBytes);

    run = Modroute({"pvk", "list", committed});
    ASSERT_EQ(run.exitCode, 0u) << run.err;
    std::map<std::string, std::string> listed;  // key -> the bytes at the listed offset
    for (const std::string& line : tooltest::Lines(run.out)) {
        std::istringstream row(line);
        std::string name, directory, key, size, offset;
        for (std::string* column : {&name, &directory, &key, &size}) std::getline(row, *column, '\t');
        if (std::getline(row, offset) && name != "name") {
            listed[key] = packBytes.substr(std::stoul(offset), std::stoul(size));
        }
    }
    const std::map<std::string, std::string> files = tooltest::Snapshot(folder);
    EXPECT_EQ(listed, (std::map<std::string, std::string>{{"ui\\title.txt", files.at("ui\\title.txt")},
                                                          {"ui\\banner.txt", files.at("ui\\banner.txt")}}));

    run = Modroute({"pvk", "extract", committed, work / "extracted"});
    ASSERT_EQ(run.exitCode, 0u) << run.out << run.err;
    EXPECT_EQ(tooltest::Snapshot(work / "extracted"), files);
    EXPECT_EQ(Modroute({"pvk", "verify", committed}).exitCode, 0u);
}

TEST(ToolPvk, ExtractWritesNothingOutsideItsFolder) {
    TempDir work("work");
    const std::string pack = MakePack({
        Entry("a\\..\\..", "up.txt", "climbs twice"),
        Entry("C:", "drive.txt", "absolute"),
        Entry("streams", "file.txt:hidden", "a stream"),
        Entry("devices", "CON.txt", "a device"),
        Entry("dots", "trailing.", "a name Windows would change"),
        Entry("fine", "good.txt", "extracted"),
    });
    work.Write("bad.pvk", pack);
    const gamerun::ProgramRun run = Modroute({"pvk", "extract", work / "bad.pvk", work / "inner\\out"});
    EXPECT_EQ(run.exitCode, 1u);
    for (const char* key : {"a\\..\\..\\up.txt", "C:\\drive.txt", "streams\\file.txt:hidden", "devices\\CON.txt",
                            "dots\\trailing."}) {
        EXPECT_TRUE(Contains(run.out, "(" + std::string(key) + ") not extracted: ")) << key << "\n" << run.out;
    }
    EXPECT_EQ(tooltest::Snapshot(work.Path()),
              (std::map<std::string, std::string>{{"bad.pvk", pack},
                                                  {"inner\\", ""},
                                                  {"inner\\out\\", ""},
                                                  {"inner\\out\\fine\\", ""},
                                                  {"inner\\out\\fine\\good.txt", "extracted"}}));
}

TEST(ToolPvk, VerifyNamesEveryProblemOfADamagedPack) {
    TempDir work("work");
    // Two records of 39 bytes and the terminator, then 4 + 6 bytes of data.
    const std::string good = MakePack({Entry("d1", "a.txt", "AAAA"), Entry("d2", "b.txt", "BBBBBB")});
    ASSERT_EQ(good.size(), kHeaderEnd + 90);
    std::string longer = good;
    PutU32(longer, kContentSizeField, 140);
    std::string unterminated = good;
    unterminated[kHeaderEnd + 78] = '\xFF';
    unterminated[kHeaderEnd + 79] = '\xFF';
    std::string overHeader = good;
    PutU32(overHeader, kContentOffsetField, 100);
    const struct {
        std::string bytes;
        std::string problem;  // the first one
        std::size_t count;
    } cases[] = {
        {good, "", 0},
        {longer, "the content block runs past the end of the file: 140 bytes declared at 1116, the file holds 90 of them",
         1},
        {unterminated, "the entry table has no terminating zero inside the content block (2 entries read whole)", 3},
        {overHeader, "the content block starts at 100, inside the header, which ends at 1116", 1},
    };
    for (const auto& c : cases) {
        work.Write("damaged.pvk", c.bytes);
        const gamerun::ProgramRun run = Modroute({"pvk", "verify", work / "damaged.pvk"});
        EXPECT_EQ(run.exitCode, c.count == 0 ? 0u : 1u) << c.problem;
        std::vector<std::string> problems;
        for (const std::string& line : tooltest::Lines(run.out)) {
            if (line.rfind("problem: ", 0) == 0) problems.push_back(line.substr(9));
        }
        EXPECT_EQ(problems.size(), c.count) << run.out;
        EXPECT_EQ(problems.empty() ? "" : problems[0], c.problem) << run.out;
    }

    work.Write("damaged.pvk", "PVK3" + good.substr(4));
    const gamerun::ProgramRun run = Modroute({"pvk", "list", work / "damaged.pvk"});
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_TRUE(Contains(run.err, "is not a pack: its first four bytes are not \"PVK2\"")) << run.err;
}
