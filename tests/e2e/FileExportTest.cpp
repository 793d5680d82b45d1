// The exported file functions, called by the stand-in game through
// GetProcAddress with the C calling convention: files read and measured as
// the game sees them, the checks on their arguments, the private heap's
// statistics and cap, and the fixed texts.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <utility>

#include "GameHarness.h"

namespace {

using gamerun::Game;
using gamerun::GameRun;

std::string Fnv1a(const std::string& data) {
    std::uint32_t hash = 2166136261u;
    for (const char c : data) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    char text[16];
    std::snprintf(text, sizeof text, "%08X", hash);
    return text;
}

// The line ReadModFile gives for data handed out in a new buffer.
std::string ReadLine(const std::string& data) {
    std::string head;
    for (std::size_t i = 0; i < data.size() && i < 40; ++i) head += data[i];
    return "ok\tresult=" + std::to_string(data.size()) + "\tbuffer=set\tfnv=" + Fnv1a(data) + "\thead=" + head;
}

const std::string kUntouched = "ok\tresult=0\tbuffer=untouched";

std::string Stats(std::uint32_t current, std::uint32_t peak) {
    return "ok\tcurrent=" + std::to_string(current) + "\tpeak=" + std::to_string(peak);
}

// A script of (operation, expected result) rows, played in one run.
using Row = std::pair<std::string, std::string>;

void Play(Game& game, const std::vector<Row>& rows) {
    std::vector<std::string> script = {"call InitializeTavrenModSystem"};
    for (const Row& row : rows) script.push_back(row.first);
    const GameRun run = game.Run(script);
    ASSERT_FALSE(run.timedOut);
    ASSERT_EQ(run.outputLines.size(), rows.size() + 2) << run.DebugText();
    EXPECT_EQ(run.outputLines[1], "call\tInitializeTavrenModSystem\tok\tresult=true");
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::string& line = run.outputLines[i + 2];
        const std::size_t op = line.find('\t');
        const std::size_t argument = line.find('\t', op + 1);
        EXPECT_EQ(line.substr(argument + 1), rows[i].second) << "row " << i << ": " << rows[i].first;
    }
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_TRUE(run.exceptions.empty());
}

class FileExportTest : public ::testing::Test {
protected:
    void SetUp() override {
        game.InstallOriginalAvi();
        game.Write("ModRoute.ini", "[Settings]\r\nSelectedMod=Blades\r\n");
        game.Write("mods\\Blades\\texture\\hero.dds", "mod hero");
        game.Write("base\\texture\\hero.dds", "base loses");
        game.Write("base\\music\\theme.ogg", "base theme");
        game.Write("texture\\own.dds", "game copy");
        game.Write("mods\\Blades\\texture\\own.dds", "mod loses");
        game.Write("mods\\Blades\\texture\\empty.dds", "");
        game.Write("work\\local.txt", "from the current folder");
    }

    gamerun::ManagerRegistry registry;
    Game game;
};

TEST_F(FileExportTest, ReadsMeasuresAndFindsFilesAsTheGameSeesThem) {
    const std::string absolute = game.PathOf("work\\local.txt");
    Play(game, {
        // Mod before base; the game folder's own copy before the mod's.
        {"call ReadModFile texture\\hero.dds", ReadLine("mod hero")},
        {"call ReadModFile music/theme.ogg", ReadLine("base theme")},
        {"call ReadModFile texture\\own.dds", ReadLine("game copy")},
        // Outside every search folder: the request as it stands.
        {"call ReadModFile " + absolute, ReadLine("from the current folder")},
        {"call GetModFileSize texture\\hero.dds", "ok\t8"},
        {"call GetModFileSize music\\theme.ogg", "ok\t10"},
        {"call GetModFileSize texture\\own.dds", "ok\t9"},
        {"call ModFileExists texture\\own.dds", "ok\ttrue"},
        {"call ModFileExists " + absolute, "ok\ttrue"},
        // Nothing to read: the buffer pointer stays as the caller set it.
        {"call ReadModFile texture\\missing.dds", kUntouched},
        {"call ReadModFile texture\\empty.dds", kUntouched},
        {"call ReadModFile texture", kUntouched},
        {"call ReadModFile ", kUntouched},
        {"call GetModFileSize texture\\missing.dds", "ok\t0"},
        {"call GetModFileSize texture\\empty.dds", "ok\t0"},
        {"call GetModFileSize texture", "ok\t0"},
        {"call GetModFileSize -null", "ok\t0"},
        {"call ModFileExists texture\\missing.dds", "ok\tfalse"},
        {"call ModFileExists texture\\empty.dds", "ok\ttrue"},
        {"call ModFileExists texture", "ok\tfalse"},
        {"call ModFileExists ", "ok\tfalse"},
        {"call ModFileExists -null", "ok\tfalse"},
        // A relative path found nowhere is opened from the current folder, as the game would.
        {"call ModFileExists local.txt", "ok\tfalse"},
        {"chdir work", "ok"},
        {"call ReadModFile local.txt", ReadLine("from the current folder")},
        {"call GetModFileSize local.txt", "ok\t23"},
        {"call ModFileExists local.txt", "ok\ttrue"},
        {"call FreeFileBuffer", "ok\tfreed=5"},
    });
}

TEST_F(FileExportTest, RefusesNullPointersAndPathsLongerThan1024Bytes) {
    const std::string longest = "texture" + std::string(1009, '\\') + "hero.dds";
    ASSERT_EQ(longest.size(), 1024u);
    Play(game, {
        {"call ReadModFile " + longest, ReadLine("mod hero")},
        {"call ReadModFile \\" + longest, kUntouched},
        {"call ReadModFile -null", kUntouched},
        {"call ReadModFile -nobuffer texture\\hero.dds", "ok\tresult=0"},
        {"call GetVFSMemoryStats", Stats(8, 8)},
        {"call FreeFileBuffer", "ok\tfreed=1"},
    });
}

TEST_F(FileExportTest, ModFolderOutsideCodePage936IsReadThroughItsFullName) {
    const std::string zoe = "Zo\xC3\xAB";  // Zoë: no form in code page 936
    game.Write("ModRoute.ini", "\xEF\xBB\xBF[Settings]\r\nSelectedMod=" + zoe + "\r\n");
    game.Write("mods\\" + zoe + "\\texture\\hero.dds", "Zoe's hero");
    Play(game, {
        {"call ReadModFile texture\\hero.dds", ReadLine("Zoe's hero")},
        {"call GetModFileSize texture\\hero.dds", "ok\t10"},
        {"call ModFileExists texture\\hero.dds", "ok\ttrue"},
    });
}

TEST_F(FileExportTest, StatisticsFollowTheBlocksHandedOutAndClearNeverWrapsTheCount) {
    game.Write("mods\\Blades\\a.bin", std::string(1000, 'a'));
    game.Write("mods\\Blades\\b.bin", std::string(3000, 'b'));
    Play(game, {
        {"call ValidateVFSMemory", "ok\ttrue"},
        {"call GetVFSMemoryStats", Stats(0, 0)},
        {"call ReadModFile a.bin", ReadLine(std::string(1000, 'a'))},
        {"call GetVFSMemoryStats", Stats(1000, 1000)},
        {"call ReadModFile b.bin", ReadLine(std::string(3000, 'b'))},
        {"call GetVFSMemoryStats", Stats(4000, 4000)},
        {"call FreeFileBuffer", "ok\tfreed=2"},
        {"call GetVFSMemoryStats", Stats(0, 4000)},
        {"call ReadModFile a.bin", ReadLine(std::string(1000, 'a'))},
        {"call ClearVFSMemory", "ok"},
        {"call GetVFSMemoryStats", Stats(0, 4000)},
        // Handed out before the Clear: its bytes are no longer counted.
        {"call FreeFileBuffer", "ok\tfreed=1"},
        {"call GetVFSMemoryStats", Stats(0, 4000)},
        {"call ReadModFile b.bin", ReadLine(std::string(3000, 'b'))},
        {"call GetVFSMemoryStats", Stats(3000, 4000)},
        {"call GetVFSMemoryStats -null", "ok"},
        {"call FreeFileBuffer -null", "ok"},
        {"call DumpVFSMemoryInfo", "ok"},
        {"call ValidateVFSMemory", "ok\ttrue"},
        {"call FreeFileBuffer", "ok\tfreed=1"},
        {"call GetVFSMemoryStats", Stats(0, 4000)},
    });
}

TEST_F(FileExportTest, FourMebibyteFileIsReadWithTheDefaultCap) {
    std::string big(4u << 20, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>('A' + (i * 7) % 26);
    game.Write("mods\\Blades\\sn01.pak", big);
    Play(game, {
        {"call GetModFileSize sn01.pak", "ok\t4194304"},
        {"call ReadModFile sn01.pak", ReadLine(big)},
        {"call GetVFSMemoryStats", Stats(4194304, 4194304)},
        {"call FreeFileBuffer", "ok\tfreed=1"},
    });
}

TEST_F(FileExportTest, BlockBeyondTheCapLeavesANullBuffer) {
    registry.SetDword(L"Memory", L"MaxMemoryMB", 1);
    game.Write("mods\\Blades\\fits.bin", std::string(1u << 20, 'f'));
    game.Write("mods\\Blades\\toobig.bin", std::string((1u << 20) + 1, 't'));
    Play(game, {
        {"call ReadModFile toobig.bin", "ok\tresult=0\tbuffer=null"},
        {"call ReadModFile fits.bin", ReadLine(std::string(1u << 20, 'f'))},
        {"call ReadModFile texture\\hero.dds", "ok\tresult=0\tbuffer=null"},
        {"call FreeFileBuffer", "ok\tfreed=1"},
        {"call ReadModFile texture\\hero.dds", ReadLine("mod hero")},
        {"call FreeFileBuffer", "ok\tfreed=1"},
    });
}

// The texts as the caller receives them: the usage in code page 936, one
// line feed between lines and none at the end.
TEST_F(FileExportTest, VersionAndUsageTexts) {
    const std::wstring usage =
        L"使用说明:\n1. 调用 ReadModFile 读取文件数据\n2. 成功时返回数据大小，buffer 指向分配的内存\n"
        L"3. 必须调用 FreeFileBuffer 释放内存\n4. 失败时返回 0，buffer 不会被修改";
    std::string gbk(usage.size() * 2, '\0');
    gbk.resize(static_cast<std::size_t>(WideCharToMultiByte(936, 0, usage.data(), static_cast<int>(usage.size()),
                                                            gbk.data(), static_cast<int>(gbk.size()), nullptr,
                                                            nullptr)));
    std::string hex;
    for (const char c : gbk) {
        char part[4];
        std::snprintf(part, sizeof part, "%02X", static_cast<unsigned char>(c));
        hex += part;
    }
    Play(game, {
        {"call GetModSystemVersion", "ok\tTavren MOD System v1.0.0 with File Redirection"},
        {"call GetReadModFileUsage", "ok\thex=" + hex},
    });
}

}  // namespace
