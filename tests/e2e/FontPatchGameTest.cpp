// Font substitution and code patches inside the running stand-in game: the
// fonts it creates through GDI and the stand-in D3DX once the font hooks are
// up (3 s after start), the hidden-command and loadsnp patches as the patch
// settings switch them at attach and at the first AVIFileInit, and the
// character patch from the pmodel files of base and the selected mod. Each
// game run that waits for the fonts checks as much as it can.
#include <gtest/gtest.h>

#include <algorithm>

#include "GameHarness.h"

namespace {

using gamerun::Game;
using gamerun::GameRun;
using gamerun::ManagerRegistry;

// The game's code before and after each patch, as published for this game version.
const char kHiddenBefore[] = "008BF085C9751FBF10985C00B9060000";
const char kHiddenAfter[] = "008BF085C9711FBF10985C00B9060000";
const char kLoadsnpBefore[] = "009090FF36E8BE3C050083C404E89C2F0500508B0D9C616600E8A021FDFFE9660E";
const char kLoadsnpAfter[] = "3B7704750883C8FFE97D0E00008B0E8B45006A01518BCDFF9014010000C685781D";
const char kDivisorsUnpatched[] = "B814000000";

const std::string kXiMingTiTraditional = "\xE7\xB4\xB0\xE6\x98\x8E\xE9\xAB\x94";  // 細明體

std::string CodeBytes(const char* hidden, const char* loadsnp, const char* divisor) {
    return std::string("ok\thidden@0x1100=") + hidden + "\tloadsnp@0x1200=" + loadsnp + "\tleft@0x57642=" + divisor +
           "\tright@0x576BA=" + divisor;
}

// What GDI keeps of a created font: the LOGFONT read back. (The face a DC
// selects for it is Wine's choice once the character set is 134.)
std::string LogFontOf(const std::string& fontResult) {
    const std::size_t face = fontResult.find("\tface=");
    return face == std::string::npos ? fontResult : fontResult.substr(face + 1);
}

std::string LogFont(const std::string& face, int height, int width, int charSet) {
    return "face=" + face + "\theight=" + std::to_string(height) + "\twidth=" + std::to_string(width) +
           "\tcharset=" + std::to_string(charSet);
}

// The arguments the stand-in d3dx9_43.dll recorded, as it prints them.
std::string D3dxCall(const std::string& api, int height, unsigned width, unsigned charSet, const std::string& face) {
    return "d3dx9_43: " + api + " device=0x00000000 height=" + std::to_string(height) +
           " width=" + std::to_string(width) + " weight=400 miplevels=1 italic=0 charset=" + std::to_string(charSet) +
           " precision=0 quality=0 pitchandfamily=0 face=" + face;
}

bool HasDebugLine(const GameRun& run, const std::string& line) {
    return std::find(run.debugLines.begin(), run.debugLines.end(), line) != run.debugLines.end();
}

// Character model files of the game, with names that look like them but stand for no character.
void WritePmodelFiles(Game& game) {
    for (const char* name : {"p01_a.gmb", "P12_b.gmb", "p7.gmb"}) game.Write(std::string("base\\pmodel\\") + name, "m");
    game.Write("pmodel\\p02.gmb", "m");
    for (const char* decoy : {"pnotes.txt", "p5abc", "p3000", "p80a_x.dat", "q50.gmb", "p9.x", "pa90.gmb"}) {
        game.Write(std::string("base\\pmodel\\") + decoy, "not a character");
    }
    game.Write("base\\pmodel\\p99.x\\inside.gmb", "a folder is no character");
    game.Write("mods\\Hero\\pmodel\\p40_hero.gmb", "m");
    game.Write("mods\\Other\\pmodel\\p90.gmb", "an unselected mod's");
}

TEST(FontsAndPatches, DefaultPatchesAndTheConfiguredFacesScalesAndCharacterSets) {
    ManagerRegistry registry;
    registry.SetString(L"Fonts", L"TimesNewRoman", L"Tahoma");
    registry.SetDword(L"Fonts", L"TimesNewRomanScale", 120);
    registry.SetString(L"Fonts", L"MingLiU", L"Face Installed Nowhere");
    registry.SetDword(L"Fonts", L"MingLiUScale", 150);
    Game game;
    game.InstallOriginalAvi();
    game.InstallD3dxStandin();
    WritePmodelFiles(game);
    const GameRun run = game.Run({
        "font CreateFontA -17 0 0 Times New Roman",
        "sleep 3500",
        "font CreateFontA -16 0 0 Times New Roman",
        "font CreateFontA 20 10 136 Times New Roman",
        "font CreateFontIndirectA 20 0 0 mingliu",
        "font CreateFontIndirectW -16 0 1 " + kXiMingTiTraditional,
        "font CreateFontIndirectW -16 0 0 times new roman",
        "font D3DXCreateFontA 20 0 0 Times New Roman",
        "font D3DXCreateFontW -16 8 136 Times New Roman",
        "font D3DXCreateFontA 20 0 0 MingLiU",
        "codebytes",
    });
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_TRUE(run.exceptions.empty());

    // Before the font hooks are up the game's request goes through as it is.
    EXPECT_EQ(LogFontOf(run.Result("font", "CreateFontA -17 0 0 Times New Roman")),
              LogFont("Times New Roman", -17, 0, 0));

    struct Case {
        std::string request;
        std::string expected;
    };
    const Case cases[] = {
        {"CreateFontA -16 0 0 Times New Roman", LogFont("Tahoma", -19, 0, 134)},
        {"CreateFontA 20 10 136 Times New Roman", LogFont("Tahoma", 24, 12, 136)},
        // The configured MingLiU face is missing: the first installed fallback face, at MingLiU's scale.
        {"CreateFontIndirectA 20 0 0 mingliu", LogFont("Tahoma", 30, 0, 134)},
        {"CreateFontIndirectW -16 0 1 " + kXiMingTiTraditional, LogFont("Tahoma", -24, 0, 134)},
        {"CreateFontIndirectW -16 0 0 times new roman", LogFont("Tahoma", -19, 0, 134)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LogFontOf(run.Result("font", c.request)), c.expected) << c.request;
    }

    EXPECT_TRUE(HasDebugLine(run, D3dxCall("D3DXCreateFontA", 24, 0, 134, "Tahoma"))) << run.DebugText();
    EXPECT_TRUE(HasDebugLine(run, D3dxCall("D3DXCreateFontW", -19, 9, 136, "Tahoma"))) << run.DebugText();
    EXPECT_TRUE(HasDebugLine(run, D3dxCall("D3DXCreateFontA", 20, 0, 0, "MingLiU"))) << run.DebugText();

    // 13 characters in base (p12 is the last): the divisor byte is 13 - 10.
    EXPECT_EQ(run.Result("codebytes", ""), CodeBytes(kHiddenAfter, kLoadsnpAfter, "B803000000"));
}

// The dynamic game copied over Tavren.exe, so that the character patch finds its module.
void InstallDynamicGameAsTavren(Game& game) { gamerun::CopyBinary(L"TavrenDynamic.exe", game.PathOf("Tavren.exe")); }

TEST(FontsAndPatches, ZeroSwitchesOffAndUnloadingRemovesTheFontHooks) {
    ManagerRegistry registry;
    registry.SetDword(L"Patch", L"ToggleCommand", 0);
    registry.SetDword(L"Patch", L"OpenPlay", 1);
    registry.SetString(L"Fonts", L"TimesNewRoman", L"0");
    registry.SetDword(L"Fonts", L"TimesNewRomanScale", 120);
    registry.SetString(L"Fonts", L"MingLiU", L"Tahoma");
    registry.SetDword(L"Fonts", L"MingLiUScale", 80);
    Game game;
    game.InstallOriginalAvi();
    InstallDynamicGameAsTavren(game);
    game.Write("ModRoute.ini", "[Settings]\r\nSelectedMod=Hero\r\n");
    WritePmodelFiles(game);
    // The patchable code is complete only when AVIFileInit is called: only that call can patch it.
    const GameRun run = game.Run({
        "startup late-code",
        "sleep 3500",
        "font CreateFontA -16 0 0 Times New Roman",
        "font CreateFontIndirectA -16 0 0 MingLiU",
        "codebytes",
        "unloadavi",
        "font CreateFontIndirectA -20 0 0 MingLiU",
    });
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_TRUE(run.exceptions.empty()) << run.DebugText();

    EXPECT_EQ(LogFontOf(run.Result("font", "CreateFontA -16 0 0 Times New Roman")),
              LogFont("Times New Roman", -16, 0, 0));
    // -12.8 is truncated toward zero.
    EXPECT_EQ(LogFontOf(run.Result("font", "CreateFontIndirectA -16 0 0 MingLiU")), LogFont("Tahoma", -12, 0, 134));
    // p40 of the selected mod makes 41 characters: 41 - 10 = 0x1F.
    EXPECT_EQ(run.Result("codebytes", ""), CodeBytes(kHiddenBefore, kLoadsnpAfter, "B81F000000"));
    EXPECT_EQ(run.Result("unloadavi", ""), "ok") << run.DebugText();
    EXPECT_EQ(LogFontOf(run.Result("font", "CreateFontIndirectA -20 0 0 MingLiU")), LogFont("MingLiU", -20, 0, 0));
}

TEST(FontsAndPatches, AttachAppliesOnlyTheSwitchedOnPatchAndAviFileInitNoOther) {
    ManagerRegistry registry;
    registry.SetDword(L"Patch", L"OpenPlay", 0);
    Game game;
    game.InstallOriginalAvi();
    InstallDynamicGameAsTavren(game);
    // The code as the library's attach left it, before AVIFileInit, and as AVIFileInit left it.
    const GameRun run = game.Run({"startup code-at-load", "codebytes"});
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.Result("loaded", "-"), CodeBytes(kHiddenAfter, kLoadsnpBefore, kDivisorsUnpatched));
    // No pmodel files anywhere: a single character, too few for the character patch.
    EXPECT_EQ(run.Result("codebytes", ""), CodeBytes(kHiddenAfter, kLoadsnpBefore, kDivisorsUnpatched));
}

}  // namespace
