// The exit codes scripts rely on, and the messages for bad command lines and
// inputs that cannot be read.
#include "ToolRun.h"
#include "support/TempDir.h"

using tooltest::Contains;
using tooltest::Modroute;

TEST(ToolUsage, ExitCodesTellBadUsageFromUnreadableInput) {
    testsupport::TempDir folder("game");
    const std::string missing = folder / "missing";
    struct Case {
        std::vector<std::string> arguments;
        DWORD exitCode;
        const char* message;  // in standard error
    };
    const Case cases[] = {
        {{}, 2, "modroute mods <game>"},
        {{"frobnicate"}, 2, "unknown command \"frobnicate\""},
        {{"mods"}, 2, "usage: modroute mods <game folder>"},
        {{"mods", folder.Path(), "extra"}, 2, "mods takes one game folder"},
        {{"resolve", folder.Path()}, 2, "at least one game path"},
        {{"pvk"}, 2, "pvk needs a subcommand"},
        {{"pvk", "unpack", "x.pvk"}, 2, "unknown pvk subcommand \"unpack\""},
        {{"pvk", "extract", "x.pvk"}, 2, "pvk extract takes a pack and a folder"},
        {{"res", "dump"}, 2, "res takes a subcommand and one file"},
        {{"res", "show", "x"}, 2, "unknown res subcommand"},
        {{"maps", folder.Path(), "--mode", "4"}, 2, "--mode takes 1, 2 or 3"},
        {{"maps", folder.Path(), "--mode"}, 2, "--mode takes 1, 2 or 3"},
        {{"maps", folder.Path(), "..\\other"}, 2, "is not a folder name under mods"},
        {{"mods", missing}, 3, "cannot read the game folder"},
        {{"resolve", missing, "a.txt"}, 3, "cannot read the game folder"},
        {{"maps", missing}, 3, "cannot read the game folder"},
        {{"pvk", "list", missing + ".pvk"}, 3, "cannot read"},
        {{"pvk", "verify", missing + ".pvk"}, 3, "cannot read"},
        {{"pvk", "pack", missing, folder / "out.pvk"}, 3, "cannot read the folder"},
        {{"res", "check", missing + ".res"}, 3, "cannot read"},
    };
    for (const Case& c : cases) {
        std::string line;
        for (const std::string& argument : c.arguments) line += argument + " ";
        const gamerun::ProgramRun run = Modroute(c.arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << line;
        EXPECT_TRUE(Contains(run.err, c.message)) << line << "\n" << run.err;
        EXPECT_TRUE(run.out.empty()) << line << "\n" << run.out;
    }
}

TEST(ToolUsage, HelpListsEveryCommandAndTheExitCodes) {
    const gamerun::ProgramRun run = Modroute({"help"});
    EXPECT_EQ(run.exitCode, 0u);
    for (const char* command : {"modroute mods", "modroute resolve", "modroute maps", "modroute pvk list",
                                "modroute pvk extract", "modroute pvk pack", "modroute pvk verify",
                                "modroute res dump", "modroute res check", "1 problems found", "2 bad usage",
                                "3 an input"}) {
        EXPECT_TRUE(Contains(run.out, command)) << command;
    }
}
