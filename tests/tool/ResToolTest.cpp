// modroute res: the blocks of map indexes laid out by hand (offsets known by
// construction, names in GBK shown in UTF-8), and each problem check finds:
// blocks the system cannot read back, bytes it takes for a block that are
// none, numbers twice, keys that disagree with numbers, a wrong count.
#include "ToolRun.h"
#include "support/ResBytes.h"
#include "support/TempDir.h"

using testsupport::AsString;
using testsupport::Bytes;
using testsupport::GameBlock;
using testsupport::Hex;
using testsupport::operator+;
using testsupport::TempDir;
using tooltest::Contains;
using tooltest::HasLine;
using tooltest::Modroute;

namespace {

const std::string kHarbourGbk = "\xB8\xDB\xBF\xDA";  // 港口
const Bytes kTail = Hex("01 00 00 00 00 03 00 00 00") + Bytes(12, 0x77);

// A block laid out freely: number field, name length field and key text as given.
Bytes LaidOutBlock(std::uint32_t number, const std::string& name, const std::string& key) {
    const auto u32 = [](std::uint32_t value) {
        return Bytes{static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                     static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
    };
    return Hex("05 00 00 00") + u32(number) + u32(static_cast<std::uint32_t>(name.size() + 1)) +
           testsupport::Text(name) + Bytes{0} + Hex("05 00 00 00") + testsupport::Text(key) + Bytes{0} + kTail;
}

std::vector<std::string> Problems(const std::string& out) {
    std::vector<std::string> problems;
    for (const std::string& line : tooltest::Lines(out)) {
        if (line.rfind("problem: ", 0) == 0) problems.push_back(line.substr(9));
    }
    return problems;
}

}  // namespace

TEST(ToolRes, DumpListsEachBlockAtItsOffsetWithItsNameInUtf8) {
    TempDir work("work");
    Bytes index = testsupport::ResHeader(713) + testsupport::GameData();
    std::vector<std::size_t> offsets;
    for (const auto& [number, name] : std::vector<std::pair<int, std::string>>{
             {1, kHarbourGbk}, {2, "Snow Pass"}, {12, "Citadel"}}) {
        offsets.push_back(index.size());
        index = index + GameBlock(static_cast<std::uint8_t>(number), name, kTail);
    }
    work.Write("Tavren.res", AsString(index));
    for (const char* command : {"dump", "check"}) {
        const gamerun::ProgramRun run = Modroute({"res", command, work / "Tavren.res"});
        EXPECT_EQ(run.exitCode, 0u) << run.out;
        EXPECT_TRUE(HasLine(run.out, "Stored count  713  (710 + 3 maps)")) << run.out;
        EXPECT_TRUE(HasLine(run.out, "Blocks        3"));
        EXPECT_TRUE(HasLine(run.out, std::to_string(offsets[0]) + "\t1\tSN01\t港口")) << run.out;
        EXPECT_TRUE(HasLine(run.out, std::to_string(offsets[1]) + "\t2\tSN02\tSnow Pass"));
        EXPECT_TRUE(HasLine(run.out, std::to_string(offsets[2]) + "\t12\tSN12\tCitadel"));
    }
    EXPECT_TRUE(HasLine(Modroute({"res", "check", work / "Tavren.res"}).out,
                        "OK: every block reads back, and the count is 710 + 3"));
}

TEST(ToolRes, CheckNamesEveryBlockTheSystemCannotReadBackAndAWrongCount) {
    TempDir work("work");
    const Bytes front = testsupport::ResHeader(711) + testsupport::GameData();
    const std::size_t first = front.size();
    const Bytes one = GameBlock(1, "Plains", kTail);
    const std::size_t second = first + one.size();
    // Bytes the reader takes for a block (tag, number 1, name "ab"), with no key after the name.
    const Bytes phantom = Hex("05 00 00 00  01 00 00 00  03 00 00 00") + testsupport::Text("ab") + Bytes(20, 0);
    struct Case {
        const char* what;
        Bytes index;
        std::vector<std::string> problems;
    };
    const Case cases[] = {
        {"a wrong count", testsupport::ResHeader(715) + testsupport::GameData() + one,
         {"the stored count is 715, but 710 + 1 blocks make 711"}},
        {"a name too long to read back", front + one + GameBlock(2, std::string(70, 'n'), kTail),
         {"the block at offset " + std::to_string(second) + " (key SN02, name " + std::string(70, 'n') +
          ") cannot be read back: its name is 70 bytes long; the reader takes at most 63"}},
        {"number 0", front + one + GameBlock(0, "Zero", kTail),
         {"the block at offset " + std::to_string(second) + " (key SN00, name Zero) cannot be read back: its "
          "number's low byte is 0"}},
        {"an empty name", front + one + LaidOutBlock(2, "", "SN02"),
         {"the block at offset " + std::to_string(second) + " (key SN02, name ) cannot be read back: its name is "
          "empty"}},
        {"a key that disagrees", front + one + LaidOutBlock(3, "Mill", "SN04"),
         {"the block at offset " + std::to_string(second) + " (Mill) carries the key SN04, but its number 3 makes it "
          "SN03 to the system",
          "the stored count is 711, but 710 + 2 blocks make 712"}},
        {"a number above 255", testsupport::ResHeader(712) + testsupport::GameData() + one +
                                   LaidOutBlock(0x103, "Mill", "SN03"),
         {"the block at offset " + std::to_string(second) + " (Mill) stores the number 259; only its low byte (3) is "
          "read"}},
        {"a number twice", testsupport::ResHeader(712) + testsupport::GameData() + one + GameBlock(1, "Again", kTail),
         {"the blocks at offsets " + std::to_string(first) + " and " + std::to_string(second) +
          " both carry the number 1"}},
        {"a block that is none", testsupport::ResHeader(711) + testsupport::GameData() + phantom,
         {"the bytes at offset " + std::to_string(first) + " are read as a map block (number 1, name ab), but no "
          "folder key follows the name"}},
        {"a name that is not GBK", testsupport::ResHeader(711) + testsupport::GameData() +
                                       GameBlock(1, "a\xFF", kTail),
         {"the block at offset " + std::to_string(first) + " ((not code page 936 text)): its name is not code page "
          "936 text"}},
    };
    for (const Case& c : cases) {
        work.Write("Tavren.res", AsString(c.index));
        const gamerun::ProgramRun run = Modroute({"res", "check", work / "Tavren.res"});
        EXPECT_EQ(run.exitCode, 1u) << c.what;
        EXPECT_EQ(Problems(run.out), c.problems) << c.what << "\n" << run.out;
        // dump lists what the system reads and leaves judging to check.
        EXPECT_EQ(Modroute({"res", "dump", work / "Tavren.res"}).exitCode, 0u) << c.what;
    }

    work.Write("short.res", std::string(53, '\0'));
    for (const char* command : {"dump", "check"}) {
        const gamerun::ProgramRun run = Modroute({"res", command, work / "short.res"});
        EXPECT_EQ(run.exitCode, 1u);
        EXPECT_TRUE(HasLine(run.out, "problem: the file holds 53 bytes, fewer than the 54-byte header")) << run.out;
    }
}

TEST(ToolRes, SampleBaseIndexReadsBack) {
    const gamerun::ProgramRun run = Modroute({"res", "check", gamerun::SampleFolder() + "\\game\\base\\Tavren.res"});
    EXPECT_EQ(run.exitCode, 0u) << run.out;
    EXPECT_TRUE(HasLine(run.out, "102\t1\tSN01\t港口")) << run.out;
    EXPECT_TRUE(HasLine(run.out, "177\t2\tSN02\tOld Mill")) << run.out;
}
