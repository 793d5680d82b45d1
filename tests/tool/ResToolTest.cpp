// modroute res: the sample base index listed with its GBK names in UTF-8, and
// each problem check finds in indexes laid out by hand: blocks the system
// cannot read back, bytes it takes for a block that are none, numbers twice,
// keys that disagree with numbers, a wrong count.
#include "ToolRun.h"
#include "support/ResBytes.h"
#include "support/TempDir.h"

using testsupport::AsString;
using testsupport::Bytes;
using testsupport::GameBlock;
using testsupport::Hex;
using testsupport::operator+;
using testsupport::TempDir;
using tooltest::HasLine;
using tooltest::Modroute;

namespace {

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

}  // namespace

TEST(ToolRes, SampleBaseIndexListsItsBlocksInUtf8AndReadsBack) {
    for (const char* command : {"dump", "check"}) {
        const gamerun::ProgramRun run =
            Modroute({"res", command, gamerun::SampleFolder() + "\\game\\base\\Tavren.res"});
        EXPECT_EQ(run.exitCode, 0u) << run.out;
        EXPECT_TRUE(HasLine(run.out, "102\t1\tSN01\t港口")) << run.out;
        EXPECT_TRUE(HasLine(run.out, "177\t2\tSN02\tOld Mill")) << run.out;
    }
}

TEST(ToolRes, CheckNamesEveryBlockTheSystemCannotReadBackAndAWrongCount) {
    TempDir work("work");
    const Bytes front = testsupport::ResHeader(711) + testsupport::GameData();
    const std::string first = std::to_string(front.size());
    const Bytes one = GameBlock(1, "Plains", kTail);
    const std::string second = std::to_string(front.size() + one.size());
    // Bytes the reader takes for a block (tag, number 1, name "ab"), with no key after the name.
    const Bytes phantom = Hex("05 00 00 00  01 00 00 00  03 00 00 00") + testsupport::Text("ab") + Bytes(20, 0);
    const Bytes front712 = testsupport::ResHeader(712) + testsupport::GameData();
    const struct {
        Bytes index;
        std::string problem;  // the first problem line, after "problem: "
        std::size_t count;
    } cases[] = {
        {testsupport::ResHeader(715) + testsupport::GameData() + one,
         "the stored count is 715, but 710 + 1 blocks make 711", 1},
        {front + one + GameBlock(2, std::string(70, 'n'), kTail),
         "the block at offset " + second + " (key SN02, name " + std::string(70, 'n') +
             ") cannot be read back: its name is 70 bytes long; the reader takes at most 63", 1},
        {front + one + LaidOutBlock(3, "Mill", "SN04"),
         "the block at offset " + second + " (Mill) carries the key SN04, but its number 3 makes it SN03 to the system",
         2},
        {front712 + one + LaidOutBlock(0x103, "Mill", "SN03"),
         "the block at offset " + second + " (Mill) stores the number 259; only its low byte (3) is read", 1},
        {front712 + one + GameBlock(1, "Again", kTail),
         "the blocks at offsets " + first + " and " + second + " both carry the number 1", 1},
        {front + phantom,
         "the bytes at offset " + first + " are read as a map block (number 1, name ab), but no folder key follows "
         "the name", 1},
        {front + GameBlock(1, "a\xFF", kTail),
         "the block at offset " + first + " ((not code page 936 text)): its name is not code page 936 text", 1},
    };
    for (const auto& c : cases) {
        work.Write("Tavren.res", AsString(c.index));
        const gamerun::ProgramRun run = Modroute({"res", "check", work / "Tavren.res"});
        EXPECT_EQ(run.exitCode, 1u) << c.problem;
        std::vector<std::string> problems;
        for (const std::string& line : tooltest::Lines(run.out)) {
            if (line.rfind("problem: ", 0) == 0) problems.push_back(line.substr(9));
        }
        EXPECT_EQ(problems.size(), c.count) << run.out;
        EXPECT_EQ(problems.empty() ? "" : problems[0], c.problem) << run.out;
        // dump lists what the system reads and leaves judging to check.
        EXPECT_EQ(Modroute({"res", "dump", work / "Tavren.res"}).exitCode, 0u) << c.problem;
    }

    work.Write("short.res", std::string(53, '\0'));
    const gamerun::ProgramRun run = Modroute({"res", "check", work / "short.res"});
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_TRUE(HasLine(run.out, "problem: the file holds 53 bytes, fewer than the 54-byte header")) << run.out;
}
