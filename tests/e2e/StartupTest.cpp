// The DLL in the stand-in game: loading as AVIFIL32.dll, the attach and
// detach lines, AVIFileInit activation and forwarding.
#include <gtest/gtest.h>

#include <algorithm>

#include "GameHarness.h"

namespace {

using gamerun::Game;
using gamerun::GameRun;

constexpr char kOriginalResult[] = "result=1330792775";  // 0x4F524947, the stand-in's mark

// Index of the first debug line equal to text at or after from, or npos.
std::size_t FindLine(const GameRun& run, const std::string& text, std::size_t from = 0) {
    for (std::size_t i = from; i < run.debugLines.size(); ++i) {
        if (run.debugLines[i] == text) return i;
    }
    return std::string::npos;
}

std::size_t CountLines(const GameRun& run, const std::string& text) {
    return static_cast<std::size_t>(std::count(run.debugLines.begin(), run.debugLines.end(), text));
}

TEST(Startup, AttachLinesAppearInOrderAndDetachLinesAtExit) {
    Game game;
    game.InstallOriginalAvi();
    const GameRun run = game.Run({});
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 0u);

    // Each line must follow the one before; a stage's result line follows its announcement.
    const std::vector<std::string> ordered = {
        "=== TavrenMOD DLL加载 ===",
        "日志系统初始化成功",
        "主程序路径: " + game.PathOf("Tavren.exe"),
        "第1步：读取核心配置...",
        "第4步：初始化虚拟文件系统...",
        "第6步：早期初始化文件重定向系统...",
        "第7步：安装IAT Hook...",
        "第8步：早期初始化MOD系统...",
        "第9步：创建完整初始化线程...",
        "完整初始化线程创建成功",
        "=== DLL初始化序列完成 ===",
        "AVIFileInit: MOD 系统激活流程完成",
        "AVIFIL32_original: AVIFileInit called",
        "=== DLL卸载，开始清理 ===",
        "=== DLL清理完成 ===",
    };
    std::size_t position = 0;
    for (const std::string& line : ordered) {
        const std::size_t found = FindLine(run, line, position);
        ASSERT_NE(found, std::string::npos) << "missing or out of order: " << line << "\n" << run.DebugText();
        position = found + 1;
    }
    // Exactly one result line per announced stage, right after its announcement.
    const std::size_t coreSettings = FindLine(run, "第1步：读取核心配置...");
    ASSERT_LT(coreSettings + 1, run.debugLines.size());
    const std::string& result = run.debugLines[coreSettings + 1];
    EXPECT_TRUE(result == "核心配置读取完成" || result == "警告: 核心配置读取失败，使用默认值") << result;
    EXPECT_EQ(CountLines(run, "=== TavrenMOD DLL加载 ==="), 1u);
    EXPECT_EQ(CountLines(run, "TavrenMOD: DLL重复加载，跳过初始化"), 0u);
    EXPECT_EQ(CountLines(run, "致命错误: 未处理的异常终止"), 0u);
}

TEST(Startup, AviFileInitForwardsToTheOriginalAndActivatesOnlyOnce) {
    Game game;
    game.InstallOriginalAvi();
    const GameRun run = game.Run({"call AVIFileInit", "call AVIFileInit"});
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.Result("avifileinit", "-"), kOriginalResult);
    ASSERT_EQ(run.outputLines.size(), 3u) << run.outputLines.size();
    EXPECT_EQ(run.outputLines[1], std::string("call\tAVIFileInit\tok\t") + kOriginalResult);
    EXPECT_EQ(run.outputLines[2], std::string("call\tAVIFileInit\tok\t") + kOriginalResult);
    EXPECT_EQ(CountLines(run, "AVIFileInit: MOD 系统激活流程完成"), 1u) << run.DebugText();
    EXPECT_EQ(CountLines(run, "AVIFIL32_original: AVIFileInit called"), 3u) << run.DebugText();
}

TEST(Startup, WithoutTheOriginalAviFileInitForwardsToTheSystemLibrary) {
    Game game;
    const GameRun run = game.Run({"call AVIFileInit"});
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(CountLines(run, "AVIFIL32_original: AVIFileInit called"), 0u);
    EXPECT_EQ(CountLines(run, "AVIFileInit: MOD 系统激活流程完成"), 1u);
    // The game folder's AVIFIL32.dll is this DLL; every forward loads the system one.
    std::size_t systemLoads = 0;
    std::size_t gameFolderLoads = 0;
    for (std::string path : run.loadedDlls) {
        std::transform(path.begin(), path.end(), path.begin(), [](unsigned char c) { return std::tolower(c); });
        if (path.find("\\game\\avifil32.dll") != std::string::npos) {
            ++gameFolderLoads;
        } else if (path.find("\\avifil32.dll") != std::string::npos) {
            ++systemLoads;  // system32's, which Wine serves from its builtin folder
        }
    }
    std::string loaded;
    for (const std::string& path : run.loadedDlls) loaded += path + "\n";
    EXPECT_EQ(gameFolderLoads, 1u) << loaded;
    EXPECT_EQ(systemLoads, 2u) << loaded;  // one per AVIFileInit call
    EXPECT_NE(run.Result("avifileinit", "-").find("result="), std::string::npos);
}

TEST(Startup, InitializeTavrenModSystemRunsOnTheCallersThread) {
    Game game;
    game.InstallOriginalAvi();
    const GameRun run = game.Run({"call InitializeTavrenModSystem", "call InitializeTavrenModSystem"});
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.Result("call", "InitializeTavrenModSystem"), "ok\tresult=true");
    EXPECT_EQ(run.exitCode, 0u);
}

TEST(StandInGame, PerformsEveryScriptOperationOnTheGameFolder) {
    // Later scenarios judge the DLL by these lines: the stand-in itself must
    // report the game folder's files faithfully.
    Game game;
    game.InstallOriginalAvi();
    game.Write("data\\a.txt", "alpha");
    game.Write("data\\b.txt", "");
    game.Write("data\\\xE4\xB8\xAD.txt", "zh");  // 中.txt
    const GameRun run = game.Run({
        "createa data\\a.txt", "createw data\\\xE4\xB8\xAD.txt", "createa data\\missing.txt",
        "fopen data\\a.txt", "fopen_s data\\b.txt", "open data\\a.txt", "open data\\missing.txt",
        "attr data", "attr data\\a.txt", "find data\\*.txt", "loadlib AVIFIL32_original.dll",
        "loadlibw nosuch.dll", "sleep 10", "bogus x",
    });
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.Result("createa", "data\\a.txt"), "ok\tsize=5\tdata=alpha\thead=alph");
    EXPECT_EQ(run.Result("createw", "data\\\xE4\xB8\xAD.txt"), "ok\tsize=2\tdata=zh\thead=zh");
    EXPECT_EQ(run.Result("createa", "data\\missing.txt"), "fail\terror=2");
    EXPECT_EQ(run.Result("fopen", "data\\a.txt"), "ok\tsize=5\tdata=alpha\ttell=5");
    EXPECT_EQ(run.Result("fopen_s", "data\\b.txt"), "ok\tsize=0\tdata=\ttell=0");
    EXPECT_EQ(run.Result("open", "data\\a.txt"), "ok\tsize=5\tdata=alpha\ttell=5");
    EXPECT_EQ(run.Result("open", "data\\missing.txt"), "fail\terrno=2");
    EXPECT_EQ(run.Result("attr", "data"), "ok\t0x10\tdir");
    EXPECT_EQ(run.Result("attr", "data\\a.txt").substr(0, 3), "ok\t");
    const std::string found = run.Result("find", "data\\*.txt");
    EXPECT_EQ(found.substr(0, 3), "ok\t") << found;
    for (const char* name : {"a.txt", "b.txt", "\xE4\xB8\xAD.txt"}) EXPECT_NE(found.find(name), std::string::npos) << name;
    EXPECT_NE(run.Result("loadlib", "AVIFIL32_original.dll").find("AVIFIL32_original.dll"), std::string::npos);
    EXPECT_EQ(run.Result("loadlibw", "nosuch.dll"), "fail\terror=126");
    EXPECT_EQ(run.Result("sleep", "10"), "ok");
    EXPECT_EQ(run.Result("bogus", "x"), "fail\tunknown operation");
}

}  // namespace
