// What only a real game process shows: the debugger lines of attach and
// detach, AVIFileInit forwarding, unloading, code patches and fonts, and game
// threads racing the start-up.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "GameHarness.h"
#include "support/ResBytes.h"
#include "vfs/PvkFormat.h"

namespace {

using gamerun::Game;
using gamerun::GameRun;

std::size_t Count(const GameRun& run, const std::string& line) {
    return static_cast<std::size_t>(std::count(run.debugLines.begin(), run.debugLines.end(), line));
}

TEST(Process, AttachAndDetachLinesInOrderAndAviFileInitForwardedActivatingOnce) {
    Game game;
    game.InstallOriginalAvi();
    const GameRun run = game.Run({"call AVIFileInit"});
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.Result("avifileinit", "-"), "result=1330792775");  // the stand-in original's mark
    EXPECT_EQ(run.Result("call", "AVIFileInit"), "ok\tresult=1330792775");
    auto line = run.debugLines.begin();
    for (const std::string& expected :
         std::vector<std::string>{"=== TavrenMOD DLL加载 ===", "日志系统初始化成功", "主程序路径: " + game.PathOf("Tavren.exe"), "第1步：读取核心配置...",
          "核心配置读取完成", "第4步：初始化虚拟文件系统...", "第6步：早期初始化文件重定向系统...", "第7步：安装IAT Hook...",
          "第8步：早期初始化MOD系统...", "第9步：创建完整初始化线程...", "完整初始化线程创建成功", "=== DLL初始化序列完成 ===",
          "AVIFileInit: MOD 系统激活流程完成", "AVIFIL32_original: AVIFileInit called", "=== DLL卸载，开始清理 ===",
          "=== DLL清理完成 ==="}) {
        line = std::find(line, run.debugLines.end(), expected);
        ASSERT_NE(line, run.debugLines.end()) << "missing or out of order: " << expected << "\n" << run.DebugText();
    }
    EXPECT_EQ(Count(run, "AVIFileInit: MOD 系统激活流程完成"), 1u);
    EXPECT_EQ(Count(run, "AVIFIL32_original: AVIFileInit called"), 2u);

    // Without the renamed original, every call loads the system's library.
    Game bare;
    const GameRun plain = bare.Run({"call AVIFileInit"});
    std::size_t systemLoads = 0;
    for (std::string path : plain.loadedDlls) {
        std::transform(path.begin(), path.end(), path.begin(), [](unsigned char c) { return std::tolower(c); });
        systemLoads += path.find("\\avifil32.dll") != std::string::npos && path.find("\\game\\") == std::string::npos;
    }
    EXPECT_EQ(systemLoads, 2u);
    EXPECT_EQ(Count(plain, "AVIFIL32_original: AVIFileInit called"), 0u);
}

TEST(Process, UnloadingRemovesTheHooksAndForgetsVirtualHandles) {
    gamerun::ManagerRegistry registry;
    Game game;
    game.InstallOriginalAvi();
    game.InstallDynamicGame();
    game.Write("ModRoute.ini", "[Settings]\r\nSelectedMod=Blades\r\n");
    game.Write("mods\\Blades\\texture\\pic.jpg", "0123456789");
    const GameRun run = game.Run({"call InitializeTavrenModSystem", "keep texture\\pic.jpg", "unloadavi", "readkept",
                                  "createa texture\\pic.jpg"}, 60000, "TavrenDynamic.exe");
    ASSERT_FALSE(run.timedOut);
    EXPECT_TRUE(run.exceptions.empty()) << run.DebugText();
    EXPECT_EQ(run.Result("keep", "texture\\pic.jpg"), "ok");
    EXPECT_EQ(run.Result("unloadavi", ""), "ok") << run.DebugText();
    // The former virtual handle now goes to the system, which rejects it; nothing is redirected any more.
    EXPECT_EQ(run.Result("readkept", ""), "ok\tread=<fail 6>,6\tclose=0,6");
    EXPECT_EQ(run.Result("createa", "texture\\pic.jpg"), "fail\terror=3");
}

const char kHiddenBefore[] = "008BF085C9751FBF10985C00B9060000";
const char kHiddenAfter[] = "008BF085C9711FBF10985C00B9060000";
const char kLoadsnpBefore[] = "009090FF36E8BE3C050083C404E89C2F0500508B0D9C616600E8A021FDFFE9660E";
const char kLoadsnpAfter[] = "3B7704750883C8FFE97D0E00008B0E8B45006A01518BCDFF9014010000C685781D";

std::string Code(const char* hidden, const char* loadsnp, const std::string& divisor) {
    return std::string("ok\thidden@0x1100=") + hidden + "\tloadsnp@0x1200=" + loadsnp + "\tleft@0x57642=B8" + divisor +
           "000000\tright@0x576BA=B8" + divisor + "000000";
}
std::string Font(const std::string& face, int height, int width, int charSet) {
    return "ok\tface=" + face + "\theight=" + std::to_string(height) + "\twidth=" + std::to_string(width) +
           "\tcharset=" + std::to_string(charSet);
}
std::string D3dx(const std::string& api, int height, int width, int charSet, const std::string& face) {
    return "d3dx9_43: " + api + " device=0x00000000 height=" + std::to_string(height) + " width=" + std::to_string(width) +
           " weight=400 miplevels=1 italic=0 charset=" + std::to_string(charSet) +
           " precision=0 quality=0 pitchandfamily=0 face=" + face;
}

// Character model files, with names that look like them but stand for no character.
void WritePmodelFiles(Game& game) {
    for (const char* name : {"p01_a.gmb", "P12_b.gmb", "p7.gmb"}) game.Write(std::string("base\\pmodel\\") + name, "m");
    for (const char* decoy : {"pnotes.txt", "p5abc", "p3000", "p80a_x.dat", "q50.gmb", "p9.x", "pa90.gmb", "p99.x\\in.gmb"}) {
        game.Write(std::string("base\\pmodel\\") + decoy, "not a character");
    }
    game.Write("pmodel\\p02.gmb", "m");
    game.Write("mods\\Hero\\pmodel\\p40_hero.gmb", "m");
    game.Write("mods\\Other\\pmodel\\p90.gmb", "an unselected mod's");
}

TEST(Process, DefaultPatchesAndFontsReplacedOnceTheFontThreadIsUp) {
    gamerun::ManagerRegistry registry;
    registry.SetString(L"Fonts", L"TimesNewRoman", L"Tahoma");
    registry.SetDword(L"Fonts", L"TimesNewRomanScale", 120);
    registry.SetString(L"Fonts", L"MingLiU", L"Face Installed Nowhere");
    registry.SetDword(L"Fonts", L"MingLiUScale", 150);
    Game game;
    game.InstallOriginalAvi();
    game.InstallD3dxStandin();
    WritePmodelFiles(game);
    const std::string xiMingTi = "\xE7\xB4\xB0\xE6\x98\x8E\xE9\xAB\x94";  // 細明體
    const GameRun run = game.Run({"font CreateFontA -17 0 0 Times New Roman", "sleep 3500",
                                  "font CreateFontA 20 10 136 Times New Roman", "font CreateFontIndirectA 20 0 0 mingliu",
                                  "font CreateFontIndirectW -16 0 1 " + xiMingTi, "font CreateFontIndirectW -16 0 0 times new roman",
                                  "font D3DXCreateFontA 20 0 0 Times New Roman", "font D3DXCreateFontW -16 8 136 Times New Roman",
                                  "font D3DXCreateFontA 20 0 0 MingLiU", "codebytes"});
    ASSERT_FALSE(run.timedOut);
    EXPECT_TRUE(run.exceptions.empty());
    // Before the font thread is up the request goes through as it is.
    EXPECT_EQ(run.Result("font", "CreateFontA -17 0 0 Times New Roman"), Font("Times New Roman", -17, 0, 0));
    EXPECT_EQ(run.Result("font", "CreateFontA 20 10 136 Times New Roman"), Font("Tahoma", 24, 12, 136));
    // MingLiU's face is installed nowhere: the first installed fallback, at MingLiU's scale.
    EXPECT_EQ(run.Result("font", "CreateFontIndirectA 20 0 0 mingliu"), Font("Tahoma", 30, 0, 134));
    EXPECT_EQ(run.Result("font", "CreateFontIndirectW -16 0 1 " + xiMingTi), Font("Tahoma", -24, 0, 134));
    EXPECT_EQ(run.Result("font", "CreateFontIndirectW -16 0 0 times new roman"), Font("Tahoma", -19, 0, 134));
    for (const std::string& call : {D3dx("D3DXCreateFontA", 24, 0, 134, "Tahoma"), D3dx("D3DXCreateFontW", -19, 9, 136, "Tahoma"),
                                    D3dx("D3DXCreateFontA", 20, 0, 0, "MingLiU")}) {
        EXPECT_EQ(Count(run, call), 1u) << call << "\n" << run.DebugText();
    }
    // 13 characters in base (p12 the last): the divisor byte is 13 - 10.
    EXPECT_EQ(run.Result("codebytes", ""), Code(kHiddenAfter, kLoadsnpAfter, "03"));
}

TEST(Process, ZeroSwitchesOffAPatchAndAFaceAndUnloadingRemovesTheFontHooks) {
    gamerun::ManagerRegistry registry;
    registry.SetDword(L"Patch", L"ToggleCommand", 0);
    registry.SetString(L"Fonts", L"TimesNewRoman", L"0");
    registry.SetString(L"Fonts", L"MingLiU", L"Tahoma");
    registry.SetDword(L"Fonts", L"MingLiUScale", 80);
    Game game;
    game.InstallOriginalAvi();
    gamerun::CopyBinary(L"TavrenDynamic.exe", game.PathOf("Tavren.exe"));  // the character patch looks for Tavren.exe
    game.Write("ModRoute.ini", "[Settings]\r\nSelectedMod=Hero\r\n");
    WritePmodelFiles(game);
    // The code is whole only when AVIFileInit is called: only that call can patch it.
    const GameRun run = game.Run({"startup late-code", "sleep 3500", "font CreateFontA -16 0 0 Times New Roman",
                                  "font CreateFontIndirectA -16 0 0 MingLiU", "codebytes", "unloadavi",
                                  "font CreateFontIndirectA -20 0 0 MingLiU"});
    ASSERT_FALSE(run.timedOut);
    EXPECT_TRUE(run.exceptions.empty()) << run.DebugText();
    EXPECT_EQ(run.Result("font", "CreateFontA -16 0 0 Times New Roman"), Font("Times New Roman", -16, 0, 0));
    EXPECT_EQ(run.Result("font", "CreateFontIndirectA -16 0 0 MingLiU"), Font("Tahoma", -12, 0, 134));  // -12.8 truncated
    // p40 of the selected mod makes 41 characters: 41 - 10 = 0x1F.
    EXPECT_EQ(run.Result("codebytes", ""), Code(kHiddenBefore, kLoadsnpAfter, "1F"));
    EXPECT_EQ(run.Result("unloadavi", ""), "ok");
    EXPECT_EQ(run.Result("font", "CreateFontIndirectA -20 0 0 MingLiU"), Font("MingLiU", -20, 0, 0));

    // Attach applies only the switched-on patch, and AVIFileInit no other.
    registry.SetDword(L"Patch", L"ToggleCommand", 1);
    registry.SetDword(L"Patch", L"OpenPlay", 0);
    Game fresh;  // no pmodel files: one character, too few for the character patch
    fresh.InstallOriginalAvi();
    gamerun::CopyBinary(L"TavrenDynamic.exe", fresh.PathOf("Tavren.exe"));
    const GameRun other = fresh.Run({"startup code-at-load", "codebytes"});
    EXPECT_EQ(other.Result("loaded", "-"), Code(kHiddenAfter, kLoadsnpBefore, "14"));
    EXPECT_EQ(other.Result("codebytes", ""), Code(kHiddenAfter, kLoadsnpBefore, "14"));
}

std::string Pack(const std::vector<modroute::PvkPackEntry>& entries, std::size_t padTo = 0) {
    std::vector<std::uint8_t> pack;
    modroute::WritePvk(entries, {}, pack);
    pack.resize(std::max(pack.size(), padTo));  // a tail never read, to pass the preload limit
    return std::string(pack.begin(), pack.end());
}
modroute::PvkPackEntry Entry(const char* directory, const char* name, const char* data) {
    return {name, directory, {reinterpret_cast<const std::uint8_t*>(data), std::strlen(data)}};
}

// Eight game threads from the moment the library attached, through every
// kind of operation, racing the full initialisation, AutoRes, the pack index
// thread and the font thread (whose face check once deadlocked with a library
// loading beside it). Each plan line may give at most the number of answers
// the start-up passes through, in order; then only the final one, and not one
// handle more.
TEST(Process, EightThreadsFromAttachRaceEveryBackgroundStageAndLoseNothing) {
    gamerun::ManagerRegistry registry;
    registry.SetDword(L"", L"AutoRes", 1);
    registry.SetDword(L"", L"EnablePreloadPVK", 1);
    registry.SetString(L"Fonts", L"TimesNewRoman", L"Tahoma");
    registry.SetString(L"Fonts", L"MingLiU", L"Tahoma");
    Game game;
    game.InstallOriginalAvi();
    game.Write("ModRoute.ini", "[Settings]\r\nSelectedMod=Blades\r\n");
    game.Write("texture\\game.dds", "game");
    game.Write("mods\\Blades\\texture\\game.dds", "mod loses");
    game.Write("base\\texture\\hero.dds", std::string(9000, 'b'));
    game.Write("mods\\Blades\\texture\\hero.dds", std::string(70000, 'm'));
    game.Write("mods\\Blades\\texture\\pic.jpg", std::string(30000, 'p'));
    game.Write("base\\texture\\pic.jpg", "base picture");
    game.Write("mods\\Blades\\texture.pvk", Pack({Entry("ui", "button.dds", "packed button"), Entry("ui", "panel.dds", "panel")}));
    game.Write("mods\\Blades\\sounds.pvk", Pack({Entry("sfx", "boom.wav", "packed boom")}, 60 << 20));
    game.Write("base\\sfx\\boom.wav", "base boom");
    game.Write("base\\data.pvk", Pack({Entry("data", "over.txt", "packed over")}));
    game.Write("mods\\Blades\\data\\over.txt", "mod over");
    game.Write("base\\Tavren.res", testsupport::AsString(testsupport::GameIndex({"Plains", "Harbor", "Citadel"})));
    game.Write("mods\\Blades\\Abbey\\abbey.gmb", "g");
    game.Write("mods\\Blades\\Abbey\\x.txt", "from Abbey");
    game.Write("base\\sn01\\x.txt", "base sn01");
    gamerun::MakeFolders(game.PathOf("mods\\Blades\\lib"));
    gamerun::CopyBinary(L"AVIFIL32_original.dll", game.PathOf("mods\\Blades\\lib\\modlib.dll"));
    game.Write("plan.txt", "1\tcreatea texture\\game.dds\n2\tcreatew texture\\hero.dds\n2\tfopen texture\\pic.jpg\n"
                           "1\topen ui\\button.dds\n2\tfopen_s sfx\\boom.wav\n3\tcreatea data\\over.txt\n"
                           "2\tcreatea sn01\\x.txt\n2\tattr sn01\n1\tfind ui\\*\n3\tfind sfx\\*\n2\tloadlib lib\\modlib.dll\n"
                           "2\tfont CreateFontA -16 0 134 Times New Roman\n2\tfont CreateFontIndirectA -12 0 1 MingLiU\n");
    // Beyond the font thread's 3 s, whatever the machine's speed.
    // Then virtual handles only, opened and closed at once by every thread.
    game.Write("virtual.txt", "1\tcreatea ui\\panel.dds\n1\topen texture\\pic.jpg\n1\tcreatew ui\\button.dds\n");
    const GameRun run = game.Run({"stress 8 300 4000 20 plan.txt", "stress 8 2000 0 1 virtual.txt", "createa sn01\\x.txt"}, 180000);
    ASSERT_FALSE(run.timedOut);
    EXPECT_TRUE(run.exceptions.empty()) << run.DebugText();
    const std::string result = run.Result("stress", "8 300 4000 20 plan.txt");
    std::map<std::string, std::string> fields = gamerun::ResultFields(result);
    EXPECT_EQ(result.substr(0, result.find("\thandles=")), "ok\tinit=ok\ttrue\tover=0\tregressions=0\tlate=0") << result;
    const std::string handles = fields["handles"], reserved = fields["reserved"];
    EXPECT_EQ(handles.substr(0, handles.find(',')), handles.substr(handles.find(',') + 1)) << result;
    EXPECT_EQ(reserved.substr(0, reserved.find(',')), reserved.substr(reserved.find(',') + 1)) << result;
    const std::string virtualOnly = run.Result("stress", "8 2000 0 1 virtual.txt");
    EXPECT_EQ(virtualOnly.substr(0, virtualOnly.find("\thandles=")), "ok\tinit=ok\ttrue\tover=0\tregressions=0\tlate=0") << virtualOnly;
    EXPECT_EQ(run.Result("createa", "sn01\\x.txt"), "ok\tsize=10\tdata=from Abbey\thead=from");
}

}  // namespace
