// modroute pvk: a folder packed with the product's writer, listed with the
// offsets at which each file's bytes really lie, extracted back unchanged;
// keys that would leave the extraction folder refused; damaged packs and
// every problem verify names; the committed sample pack still what the tool
// builds from its folder.
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

TEST(ToolPvk, FolderPackedListedAtTheRealOffsetsAndExtractedBackUnchanged) {
    TempDir work("work");
    const std::map<std::string, std::string> files = {
        {"ui\\title.txt", "title text"},
        {"ui\\深\\图.txt", "a picture in a Chinese folder"},
        {"top.txt", "at the top"},
        {"render.json", "{}"},
    };
    for (const auto& [path, data] : files) work.Write("src\\" + path, data);
    const std::string pack = work / "out\\assets.pvk";
    gamerun::ProgramRun run = Modroute({"pvk", "pack", work / "src", pack});
    ASSERT_EQ(run.exitCode, 0u) << run.out << run.err;
    std::string packBytes;
    ASSERT_TRUE(gamerun::ReadFile(pack, packBytes));
    EXPECT_TRUE(HasLine(run.out, "Wrote " + pack + ": 4 entries, " + std::to_string(packBytes.size()) + " bytes"))
        << run.out;
    // A loose file takes the pack's name as its folder; render.json does not.
    EXPECT_TRUE(Contains(run.out, "note: top.txt lies at the top of the folder; the game finds it as assets\\top.txt"))
        << run.out;
    EXPECT_FALSE(Contains(run.out, "note: render.json"));

    run = Modroute({"pvk", "list", pack});
    ASSERT_EQ(run.exitCode, 0u) << run.err;
    std::map<std::string, std::string> listed;  // key -> the bytes at the listed offset
    for (const std::string& line : tooltest::Lines(run.out)) {
        std::vector<std::string> columns;
        std::size_t start = 0;
        for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1) {
            columns.push_back(line.substr(start, tab - start));
        }
        columns.push_back(line.substr(start));
        if (columns.size() != 5 || columns[0] == "name") continue;
        listed[columns[2]] = packBytes.substr(std::stoul(columns[4]), std::stoul(columns[3]));
        EXPECT_EQ(columns[2], columns[1].empty() ? columns[0] : columns[1] + "\\" + columns[0]);
    }
    EXPECT_EQ(listed, (std::map<std::string, std::string>{{"ui\\title.txt", "title text"},
                                                          {"ui\\深\\图.txt", "a picture in a Chinese folder"},
                                                          {"assets\\top.txt", "at the top"},
                                                          {"render.json", "{}"}}));

    run = Modroute({"pvk", "extract", pack, work / "extracted"});
    ASSERT_EQ(run.exitCode, 0u) << run.out << run.err;
    std::size_t bytes = 0;
    for (const auto& [path, data] : files) bytes += data.size();
    EXPECT_TRUE(Contains(run.out, "Extracted 4 files (" + std::to_string(bytes) + " bytes)")) << run.out;
    const auto extracted = tooltest::Snapshot(work / "extracted");
    EXPECT_EQ(extracted, (std::map<std::string, std::string>{{"assets\\", ""},
                                                             {"assets\\top.txt", "at the top"},
                                                             {"render.json", "{}"},
                                                             {"ui\\", ""},
                                                             {"ui\\title.txt", "title text"},
                                                             {"ui\\深\\", ""},
                                                             {"ui\\深\\图.txt", "a picture in a Chinese folder"}}));

    EXPECT_EQ(Modroute({"pvk", "verify", pack}).exitCode, 0u);
}

TEST(ToolPvk, TheCommittedSamplePackIsWhatTheToolBuildsFromItsFolder) {
    TempDir work("work");
    const gamerun::ProgramRun run =
        Modroute({"pvk", "pack", gamerun::SampleFolder() + "\\packs\\UITexture", work / "UITexture.pvk"});
    ASSERT_EQ(run.exitCode, 0u) << run.out << run.err;
    EXPECT_EQ(TempDir::ReadFile(work / "UITexture.pvk"),
              TempDir::ReadFile(gamerun::SampleFolder() + "\\game\\mods\\Blades\\UITexture.pvk"));
}

TEST(ToolPvk, PackRefusesNamesItCannotWriteAndAPackInsideItsOwnFolder) {
    TempDir work("work");
    work.Write("src\\ok.txt", "ok");
    work.Write("src\\smile\xF0\x9F\x98\x80.txt", "a name outside the 16-bit range");
    gamerun::ProgramRun run = Modroute({"pvk", "pack", work / "src", work / "a.pvk"});
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_TRUE(Contains(run.out, "problem: smile\xF0\x9F\x98\x80.txt has characters a pack cannot name")) << run.out;
    EXPECT_FALSE(gamerun::PathExists(work / "a.pvk"));

    run = Modroute({"pvk", "pack", work / "src", work / "src\\inner\\a.pvk"});
    EXPECT_EQ(run.exitCode, 2u);
    EXPECT_TRUE(Contains(run.err, "would lie inside the folder it is made from")) << run.err;
}

TEST(ToolPvk, ExtractWritesNothingOutsideItsFolder) {
    TempDir work("work");
    const std::string pack = MakePack({
        Entry("..", "evil.txt", "climbs"),
        Entry("a\\..\\..", "up.txt", "climbs twice"),
        Entry("C:", "drive.txt", "absolute"),
        Entry("\\rooted", "x.txt", "absolute"),
        Entry("streams", "file.txt:hidden", "a stream"),
        Entry("devices", "CON.txt", "a device"),
        Entry("dots", "trailing.", "a name Windows would change"),
        Entry("fine", "good.txt", "extracted"),
    });
    work.Write("bad.pvk", pack);
    const gamerun::ProgramRun run = Modroute({"pvk", "extract", work / "bad.pvk", work / "inner\\out"});
    EXPECT_EQ(run.exitCode, 1u);
    const std::pair<const char*, const char*> refused[] = {
        {"..\\evil.txt", "climbs out of the folder"}, {"a\\..\\..\\up.txt", "climbs out of the folder"},
        {"C:\\drive.txt", "absolute path"},          {"\\rooted\\x.txt", "absolute path"},
        {"streams\\file.txt:hidden", "colon"},        {"devices\\CON.txt", "names a device (CON.txt)"},
        {"dots\\trailing.", "ends with a dot"},
    };
    for (const auto& [key, reason] : refused) {
        bool reported = false;
        for (const std::string& line : tooltest::Lines(run.out)) {
            reported |= Contains(line, "(" + std::string(key) + ") not extracted: ") && Contains(line, reason);
        }
        EXPECT_TRUE(reported) << key << "\n" << run.out;
    }
    EXPECT_TRUE(Contains(run.out, "Extracted 1 file (9 bytes)")) << run.out;
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
    struct Case {
        const char* what;
        std::string bytes;
        std::vector<std::string> problems;
    };
    std::string longer = good;
    PutU32(longer, kContentSizeField, 140);
    std::string unterminated = good;
    unterminated[kHeaderEnd + 78] = '\xFF';
    unterminated[kHeaderEnd + 79] = '\xFF';
    std::string overHeader = good;
    PutU32(overHeader, kContentOffsetField, 100);
    const Case cases[] = {
        {"declared past the file", longer,
         {"problem: the content block runs past the end of the file: 140 bytes declared at 1116, the file holds 90 of "
          "them"}},
        {"cut inside the data", good.substr(0, good.size() - 3),
         {"problem: the content block runs past the end of the file: 90 bytes declared at 1116, the file holds 87 of "
          "them",
          "problem: entry 2 (d2\\b.txt): its 6 bytes of data run past the content block the file holds"}},
        {"no terminator", unterminated,
         {"problem: the entry table has no terminating zero inside the content block (2 entries read whole)",
          "problem: entry 1 (d1\\a.txt): its 4 bytes of data run past the content block the file holds",
          "problem: entry 2 (d2\\b.txt): its 6 bytes of data run past the content block the file holds"}},
        {"content over the header", overHeader,
         {"problem: the content block starts at 100, inside the header, which ends at 1116"}},
    };
    for (const Case& c : cases) {
        work.Write("damaged.pvk", c.bytes);
        const gamerun::ProgramRun run = Modroute({"pvk", "verify", work / "damaged.pvk"});
        EXPECT_EQ(run.exitCode, 1u) << c.what;
        std::vector<std::string> problems;
        for (const std::string& line : tooltest::Lines(run.out)) {
            if (line.rfind("problem: ", 0) == 0) problems.push_back(line);
        }
        EXPECT_EQ(problems, c.problems) << c.what << "\n" << run.out;
        EXPECT_TRUE(HasLine(run.out, std::to_string(c.problems.size()) +
                                         (c.problems.size() == 1 ? " problem" : " problems")))
            << c.what;
    }

    const std::pair<std::string, const char*> unreadable[] = {
        {"PVK3" + good.substr(4), "is not a pack: its first four bytes are not \"PVK2\""},
        {good.substr(0, 1000), "ends inside its header"},
    };
    for (const auto& [bytes, message] : unreadable) {
        work.Write("damaged.pvk", bytes);
        for (const char* command : {"verify", "list"}) {
            const gamerun::ProgramRun run = Modroute({"pvk", command, work / "damaged.pvk"});
            EXPECT_EQ(run.exitCode, 1u) << message;
            EXPECT_TRUE(Contains(run.err, message)) << run.err;
        }
    }

    work.Write("good.pvk", good);
    const gamerun::ProgramRun run = Modroute({"pvk", "verify", work / "good.pvk"});
    EXPECT_EQ(run.exitCode, 0u) << run.out;
    EXPECT_TRUE(HasLine(run.out, "OK: header, entry table and the data of every entry lie inside the file"));
}

TEST(ToolPvk, LongPacksReportTheirProgressOnStandardError) {
    TempDir work("work");
    std::vector<std::string> names;
    for (int i = 0; i < 600; ++i) names.push_back("f" + std::to_string(i) + ".txt");
    std::vector<modroute::PvkPackEntry> entries;
    for (const std::string& name : names) entries.push_back(Entry("many", name, name));
    work.Write("many.pvk", MakePack(entries));
    work.Write("few.pvk", MakePack({Entry("few", "a.txt", "a")}));

    gamerun::ProgramRun run = Modroute({"pvk", "verify", work / "many.pvk"});
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_TRUE(Contains(run.err, "verifying: 600 of 600 entries")) << run.err;
    EXPECT_FALSE(Contains(run.out, "verifying")) << "progress stays off standard output";
    run = Modroute({"pvk", "extract", work / "many.pvk", work / "out"});
    EXPECT_TRUE(Contains(run.err, "extracting: 600 of 600 entries")) << run.err;
    run = Modroute({"pvk", "verify", work / "few.pvk"});
    EXPECT_TRUE(run.err.empty()) << run.err;
}
