// The stand-ins that the code-patch and font scenarios judge the DLL by: the
// stand-in game's patchable code where the real game has it, and the stand-in
// d3dx9_43.dll recording the arguments of its font functions.
#include <gtest/gtest.h>

#include <algorithm>

#include "GameHarness.h"

namespace {

using gamerun::Game;
using gamerun::GameRun;
using gamerun::ManagerRegistry;

// The game's code before any patch, as published for this game version.
const char kHiddenCommand[] = "008BF085C9751FBF10985C00B9060000";
const char kLoadsnp[] = "009090FF36E8BE3C050083C404E89C2F0500508B0D9C616600E8A021FDFFE9660E";

bool HasDebugLine(const GameRun& run, const std::string& line) {
    return std::find(run.debugLines.begin(), run.debugLines.end(), line) != run.debugLines.end();
}

TEST(StandInGame, CarriesThePatchableCodeOnceAtTheGamesOffsets) {
    // Both switchable patches off, so the DLL leaves the code as placed.
    ManagerRegistry registry;
    registry.SetDword(L"Patch", L"ToggleCommand", 0);
    registry.SetDword(L"Patch", L"OpenPlay", 0);
    Game game;
    game.InstallOriginalAvi();
    const std::string findHidden = std::string("codefind ") + kHiddenCommand;
    const std::string findLoadsnp = std::string("codefind ") + kLoadsnp;
    const GameRun run = game.Run({"codebytes", findHidden, findLoadsnp, "codefind 00112233445566778899AABBCCDDEEFF"});
    ASSERT_FALSE(run.timedOut);

    // Each signature occurs once in the whole loaded image, where codebytes says it is.
    EXPECT_EQ(run.Result("codefind", kHiddenCommand), "ok\tcount=1\tfirst=0x1100");
    EXPECT_EQ(run.Result("codefind", kLoadsnp), "ok\tcount=1\tfirst=0x1200");
    EXPECT_EQ(run.Result("codefind", "00112233445566778899AABBCCDDEEFF"), "ok\tcount=0");
    EXPECT_EQ(run.Result("codebytes", ""), "ok\thidden@0x1100=" + std::string(kHiddenCommand) +
                                               "\tloadsnp@0x1200=" + std::string(kLoadsnp) +
                                               "\tleft@0x57642=B814000000\tright@0x576BA=B814000000");
}

TEST(StandInGame, D3dxStandinRecordsItsArgumentsAndGdiFontsReportTheirFace) {
    Game game;
    game.InstallOriginalAvi();
    game.InstallD3dxStandin();
    const std::string xiMingTi = "\xE7\xBB\x86\xE6\x98\x8E\xE4\xBD\x93";  // 细明体
    const GameRun run = game.Run({
        "font D3DXCreateFontA 20 0 0 Times New Roman",
        "font D3DXCreateFontW -16 8 136 " + xiMingTi,
        "font CreateFontA -16 0 0 Tahoma",
        "font CreateFontIndirectA -19 0 0 tahoma",
        "font CreateFontIndirectW 12 5 1 Tahoma",
        "font CreateFontA -16 0 0 Face That Is Not Installed",
    });
    ASSERT_FALSE(run.timedOut);

    EXPECT_EQ(run.Result("font", "D3DXCreateFontA 20 0 0 Times New Roman"), "ok\thr=0x00000000\tfont=null");
    EXPECT_TRUE(HasDebugLine(run, "d3dx9_43: D3DXCreateFontA device=0x00000000 height=20 width=0 weight=400 "
                                  "miplevels=1 italic=0 charset=0 precision=0 quality=0 pitchandfamily=0 "
                                  "face=Times New Roman"))
        << run.DebugText();
    EXPECT_TRUE(HasDebugLine(run, "d3dx9_43: D3DXCreateFontW device=0x00000000 height=-16 width=8 weight=400 "
                                  "miplevels=1 italic=0 charset=136 precision=0 quality=0 pitchandfamily=0 "
                                  "face=" + xiMingTi))
        << run.DebugText();

    EXPECT_EQ(run.Result("font", "CreateFontA -16 0 0 Tahoma"),
              "ok\tselected=Tahoma\tface=Tahoma\theight=-16\twidth=0\tcharset=0");
    EXPECT_EQ(run.Result("font", "CreateFontIndirectA -19 0 0 tahoma"),
              "ok\tselected=Tahoma\tface=tahoma\theight=-19\twidth=0\tcharset=0");
    EXPECT_EQ(run.Result("font", "CreateFontIndirectW 12 5 1 Tahoma"),
              "ok\tselected=Tahoma\tface=Tahoma\theight=12\twidth=5\tcharset=1");
    // GDI picks some other face for a missing one; the LOGFONT keeps the name asked for.
    const std::string missing = run.Result("font", "CreateFontA -16 0 0 Face That Is Not Installed");
    EXPECT_EQ(missing.find("ok\tselected="), 0u) << missing;
    EXPECT_EQ(missing.find("selected=Face That Is Not Installed"), std::string::npos) << missing;
    EXPECT_NE(missing.find("\tface=Face That Is Not Installed\t"), std::string::npos) << missing;
}

}  // namespace
