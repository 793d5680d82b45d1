// Configuration in the stand-in game: the core settings stage reports
// success, and a game with mods but no base folder gets base\base.ini on its
// first start and keeps it on later starts. The registry is only read.
#include <gtest/gtest.h>

#include <algorithm>

#include "GameHarness.h"

namespace {

using gamerun::Game;
using gamerun::GameRun;

// Names in a folder (UTF-8), sorted.
std::vector<std::string> Entries(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW(gamerun::Widen(folder + "\\*").c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        const std::string name = gamerun::Utf8(data.cFileName);
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileW(search, &data));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

bool ManagerKeyExists() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\TavrenModManager", 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

void ExpectCoreSettingsRead(const GameRun& run) {
    EXPECT_NE(run.DebugText().find("第1步：读取核心配置...\n核心配置读取完成\n"), std::string::npos) << run.DebugText();
}

void ExpectBaseCreatedOnceAndKept(const std::string& folderName, const std::string& modName) {
    gamerun::ManagerRegistry registry;
    Game game(folderName);
    game.InstallOriginalAvi();
    game.Write("ModRoute.ini", "\xEF\xBB\xBF[Settings]\r\nSelectedMod=" + modName + "\r\n");
    game.Write("mods\\" + modName + "\\" + modName + ".ini", "[ModInfo]\ntitle=" + modName + "\n");

    // The full initialisation thread creates base by itself; the host's call
    // then returns only once that thread has finished writing base.ini.
    const GameRun first = game.Run({"waitfile 30000 base\\base.ini", "call InitializeTavrenModSystem"});
    ASSERT_FALSE(first.timedOut);
    EXPECT_EQ(first.exitCode, 0u);
    EXPECT_EQ(first.Result("waitfile", "30000 base\\base.ini"), "ok");
    ExpectCoreSettingsRead(first);
    std::string bytes;
    ASSERT_TRUE(gamerun::ReadFile(game.PathOf("base\\base.ini"), bytes)) << first.DebugText();
    // The default description, saved as UTF-8 with a byte-order mark.
    EXPECT_EQ(bytes.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_NE(bytes.find("\n[ModInfo]\ntitle=Tavren.net\nauthor=Orbisoft\nversion=9.0.7\n"), std::string::npos) << bytes;
    // Nothing but base and its base.ini was created.
    EXPECT_EQ(Entries(game.Folder()),
              (std::vector<std::string>{"AVIFIL32.dll", "AVIFIL32_original.dll", "ModRoute.ini", "Tavren.exe", "base",
                                        "mods"}));
    EXPECT_EQ(Entries(game.PathOf("base")), std::vector<std::string>{"base.ini"});
    EXPECT_FALSE(ManagerKeyExists());

    // Later starts find base and leave an edited base.ini alone; the host's
    // call returns only once the full initialisation has finished.
    const std::string edited = "[ModInfo]\r\ntitle=Edited by hand\r\n";
    game.Write("base\\base.ini", edited);
    const GameRun second = game.Run({"call InitializeTavrenModSystem"});
    ASSERT_FALSE(second.timedOut);
    EXPECT_EQ(second.Result("call", "InitializeTavrenModSystem"), "ok\tresult=true");
    ExpectCoreSettingsRead(second);
    ASSERT_TRUE(gamerun::ReadFile(game.PathOf("base\\base.ini"), bytes));
    EXPECT_EQ(bytes, edited);
    EXPECT_EQ(Entries(game.PathOf("base")), std::vector<std::string>{"base.ini"});
}

TEST(Config, GameWithModsGetsBaseOnFirstStartAndKeepsIt) { ExpectBaseCreatedOnceAndKept("game", "Blades"); }

TEST(Config, GameInAChineseFolderGetsBaseToo) { ExpectBaseCreatedOnceAndKept("塔文游戏", "刀锋"); }

}  // namespace
