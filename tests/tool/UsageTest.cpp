// The exit codes scripts rely on: 2 for a bad command line, 3 for an input
// that cannot be read, with the message on standard error only.
#include "ToolRun.h"
#include "support/TempDir.h"

using tooltest::Contains;
using tooltest::Modroute;

TEST(ToolUsage, ExitCodesTellBadUsageFromUnreadableInput) {
    testsupport::TempDir folder("game");
    const std::string missing = folder / "missing";
    const struct {
        std::vector<std::string> arguments;
        DWORD exitCode;
        const char* message;  // in standard error
    } cases[] = {
        {{}, 2, "modroute mods <game>"},
        {{"frobnicate"}, 2, "unknown command \"frobnicate\""},
        {{"mods", folder.Path(), "extra"}, 2, "mods takes one game folder"},
        {{"resolve", folder.Path()}, 2, "at least one game path"},
        {{"pvk", "unpack", "x.pvk"}, 2, "unknown pvk subcommand \"unpack\""},
        {{"res", "dump"}, 2, "res takes a subcommand and one file"},
        {{"maps", folder.Path(), "--mode", "4"}, 2, "--mode takes 1, 2 or 3"},
        {{"maps", folder.Path(), "..\\other"}, 2, "is not a folder name under mods"},
        {{"mods", missing}, 3, "cannot read the game folder"},
        {{"resolve", missing, "a.txt"}, 3, "cannot read the game folder"},
        {{"maps", missing}, 3, "cannot read the game folder"},
        {{"pvk", "verify", missing + ".pvk"}, 3, "cannot read"},
        {{"pvk", "pack", missing, folder / "out.pvk"}, 3, "cannot read the folder"},
        {{"res", "check", missing + ".res"}, 3, "cannot read"},
    };
    for (const auto& c : cases) {
        std::string line;
        for (const std::string& argument : c.arguments) line += argument + " ";
        const gamerun::ProgramRun run = Modroute(c.arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << line;
        EXPECT_TRUE(Contains(run.err, c.message)) << line << "\n" << run.err;
        EXPECT_TRUE(run.out.empty()) << line << "\n" << run.out;
    }
    EXPECT_EQ(Modroute({"help"}).exitCode, 0u);
}
