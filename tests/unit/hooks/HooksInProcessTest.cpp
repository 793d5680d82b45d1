// The hooks installed in this test process: the system's own work let
// through, the attribute rewrite of map ids, the caller's last-error value.
#include <gtest/gtest.h>

#include <windows.h>

#include <thread>

#include "common/SystemScope.h"
#include "common/TextEncoding.h"
#include "exports/ExportedFunctions.h"
#include "hooks/HookManager.h"
#include "redirect/ModRouter.h"
#include "redirect/SearchPaths.h"
#include "support/TempDir.h"

using namespace modroute;
using testsupport::TempDir;

namespace {

class HooksTest : public ::testing::Test {
protected:
    void SetUp() override {
        game.Write({{"mods\\Blades\\texture\\a.dds", "mod a"}, {"mods\\Blades\\texture\\pic.jpg", "picture"},
                    {"base\\texture\\b.dds", "base b"}});
        GetCurrentDirectoryW(MAX_PATH, previousDirectory);
        SetCurrentDirectoryW(Utf8ToWide(game.Path()).c_str());  // the game runs in its folder
        RouteContext full;
        full.gameFolder = game.Path();
        full.baseFolder = game / "base";
        full.modFolder = game / "mods\\Blades";
        full.searchPaths = BuildSearchPaths(full.modFolder, true, full.baseFolder, full.gameFolder);
        ModRouter::Instance().Configure(context = full);
        ASSERT_TRUE(HookManager::Install());
    }
    void TearDown() override {
        HookManager::Uninstall();
        ModRouter::Instance().Configure(RouteContext{});
        SetCurrentDirectoryW(previousDirectory);
    }
    static std::string ReadThrough(const char* path) {
        HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return "<error " + std::to_string(GetLastError()) + ">";
        std::string data(64, '\0');
        DWORD read = 0;
        // A virtual handle whose hooks were removed meanwhile is the system's to reject.
        const BOOL ok = ReadFile(file, data.data(), 64, &read, nullptr);
        CloseHandle(file);
        return ok ? data.substr(0, read) : "<error reading>";
    }

    TempDir game{"game"};
    RouteContext context;
    wchar_t previousDirectory[MAX_PATH] = {};
};

TEST_F(HooksTest, TheSystemsOwnWorkPassesThroughAndInstallingTwiceIsHarmless) {
    EXPECT_TRUE(HookManager::Install());  // already installed: nothing attached again
    EXPECT_EQ(ReadThrough("texture\\a.dds"), "mod a");
    {
        const SystemScope scope;  // the system's own open of a game-relative name is not redirected
        EXPECT_EQ(ReadThrough("texture\\a.dds"), "<error 3>");
    }
    // Scripts opened by wide name are never redirected; other files are.
    game.Write({{"mods\\Blades\\scripts\\main.AS", "mod script"}, {"mods\\Blades\\scripts\\main.txt", "mod text"}});
    for (const wchar_t* path : {L"scripts\\main.AS", L"scripts\\main.txt"}) {
        HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_EQ(file == INVALID_HANDLE_VALUE, wcsstr(path, L".AS") != nullptr);
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    }
}

TEST_F(HooksTest, AttributeQueriesFollowTheMapTable) {
    game.Write({{"maps\\Dune.wp", "game folder's copy under the map's name"},
                {"maps\\Dune.pak", "a map's pack, never renamed"},
                {"base\\maps\\sn08.wp", "the base folder's map file"}});
    game.MakeFolder("mods\\Blades\\Forest");
    game.Write("base\\sn07.wp", "base");
    const SnDirectoryMap map(SnDirectoryMap::Entries{{"SN07", "Dune"}, {"SN08", "Marsh"}, {"SN09", "Forest"}});
    const RouteContext unmapped = context;
    RouteContext mapped = context;
    mapped.mapTable = std::make_shared<const SnDirectoryMap>(map);
    ModRouter::Instance().Configure(mapped);

    const DWORD file = GetFileAttributesW(Utf8ToWide(game / "maps\\Dune.wp").c_str());
    EXPECT_EQ(GetFileAttributesA("maps\\sn07.wp"), file);          // the map's own name
    EXPECT_EQ(GetFileAttributesA("maps\\SN08.wp"), GetFileAttributesW(Utf8ToWide(game / "base\\maps\\sn08.wp").c_str()));
    EXPECT_EQ(GetFileAttributesA("maps\\sn09"), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));  // the mod's map folder
    EXPECT_EQ(GetFileAttributesA("maps\\sn09.wp"), INVALID_FILE_ATTRIBUTES);  // a file, unlike the folder: as the open says
    // The open of a map's pack by its id serves the mapped pack; named absolutely it is opened as named.
    EXPECT_EQ(GetFileAttributesA("maps\\sn07.pak"), GetFileAttributesW(Utf8ToWide(game / "maps\\Dune.pak").c_str()));
    EXPECT_EQ(GetFileAttributesA(Utf8ToGbk(game / "maps\\sn07.pak").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesA("maps\\sn10.wp"), INVALID_FILE_ATTRIBUTES);   // not in the table
    // Inside the base folder names stay the game's own.
    EXPECT_NE(GetFileAttributesA(Utf8ToGbk(game / "base\\sn07.wp").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesA(Utf8ToGbk(game / "base\\sn08.wp").c_str()), INVALID_FILE_ATTRIBUTES);

    ModRouter::Instance().Configure(unmapped);  // AutoRes off: no map table, no rewrite
    EXPECT_EQ(GetFileAttributesA("maps\\sn07.wp"), INVALID_FILE_ATTRIBUTES);
}

TEST_F(HooksTest, VirtualHandlesKeepTheCallersLastError) {
    SetLastError(1234);
    HANDLE picture = CreateFileA("texture\\pic.jpg", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(picture, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), 0u);  // as the system leaves a successful open
    SetLastError(1234);
    char data[8] = {};
    DWORD read = 0;
    EXPECT_TRUE(ReadFile(picture, data, 7, &read, nullptr));
    EXPECT_STREQ(data, "picture");
    EXPECT_EQ(GetFileSize(picture, nullptr), 7u);
    EXPECT_EQ(SetFilePointer(picture, 0, nullptr, FILE_BEGIN), 0u);
    EXPECT_EQ(GetFileType(picture), static_cast<DWORD>(FILE_TYPE_DISK));
    EXPECT_EQ(GetLastError(), 1234u);
}

// Bytes in use in the process heap, where the answer buffers live.
SIZE_T HeapBytesInUse() {
    SIZE_T used = 0;
    PROCESS_HEAP_ENTRY entry = {};
    HeapLock(GetProcessHeap());
    while (HeapWalk(GetProcessHeap(), &entry)) used += (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) ? entry.cbData : 0;
    HeapUnlock(GetProcessHeap());
    return used;
}

// Each thread's 64 KiB answer buffer stays put between its calls and goes with the thread.
TEST(ResolvePathBuffer, StableWithinAThreadAndFreedWhenItEnds) {
    const SIZE_T before = HeapBytesInUse();
    for (int i = 0; i < 500; ++i) {
        std::thread([] {
            const char* first = ResolvePath("texture\\a.dds");
            EXPECT_EQ(ResolvePath("texture\\b.dds"), first);
        }).join();
    }
    EXPECT_LT(HeapBytesInUse() - before, SIZE_T{8} << 20);  // 500 kept buffers would be 31 MiB
}

}  // namespace
