#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "detours/detours.h"
#include "support/TempDir.h"
#include "unit/detours/SyntheticCode.h"

using namespace detourtest;

namespace {

const char kVirtualName[] = "modroute-detour-virtual.txt";

PVOID g_getFileAttributesA = nullptr;
DWORD WINAPI VirtualGetFileAttributesA(LPCSTR path) {
    if (std::strcmp(path, kVirtualName) == 0) return FILE_ATTRIBUTE_READONLY;
    return reinterpret_cast<decltype(&GetFileAttributesA)>(g_getFileAttributesA)(path);
}

PVOID g_fopen = nullptr;
std::string g_servedPath;
FILE* __cdecl RedirectingFopen(const char* name, const char* mode) {
    if (std::strcmp(name, kVirtualName) == 0) name = g_servedPath.c_str();
    return reinterpret_cast<decltype(&std::fopen)>(g_fopen)(name, mode);
}

LONG Change(bool attach, PVOID& pointer, PVOID detour) {
    DetourTransactionBegin();
    DetourUpdateThread(GetCurrentThread());
    const LONG queued = attach ? DetourAttach(&pointer, detour) : DetourDetach(&pointer, detour);
    const LONG committed = DetourTransactionCommit();
    return queued != NO_ERROR ? queued : committed;
}

}  // namespace

// kernel32 (a hot-patch entry under Wine), called through this program's import.
TEST(RealFunctions, Kernel32GetFileAttributesA) {
    const auto entry = reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetFileAttributesA"));
    ASSERT_NE(entry, nullptr);
    const Bytes before = Snapshot(entry);
    const DWORD protection = ProtectionOf(entry);
    char windows[MAX_PATH] = {};
    GetWindowsDirectoryA(windows, MAX_PATH);
    ASSERT_EQ(GetFileAttributesA(kVirtualName), INVALID_FILE_ATTRIBUTES);

    g_getFileAttributesA = entry;
    ASSERT_EQ(Change(true, g_getFileAttributesA, reinterpret_cast<PVOID>(&VirtualGetFileAttributesA)), NO_ERROR);
    EXPECT_EQ(GetFileAttributesA(kVirtualName), static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    EXPECT_TRUE(GetFileAttributesA(windows) & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(reinterpret_cast<decltype(&GetFileAttributesA)>(g_getFileAttributesA)(kVirtualName),
              INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(Snapshot(entry), before);
    EXPECT_EQ(ProtectionOf(entry), protection);

    ASSERT_EQ(Change(false, g_getFileAttributesA, reinterpret_cast<PVOID>(&VirtualGetFileAttributesA)), NO_ERROR);
    EXPECT_EQ(g_getFileAttributesA, entry);
    EXPECT_EQ(Snapshot(entry), before);
    EXPECT_EQ(ProtectionOf(entry), protection);
    EXPECT_EQ(GetFileAttributesA(kVirtualName), INVALID_FILE_ATTRIBUTES);
}

// msvcrt (relocated entry: push ebp; mov ebp,esp; and esp,-16), serving a
// name that does not exist from another file.
TEST(RealFunctions, MsvcrtFopen) {
    const auto entry = reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("msvcrt.dll"), "fopen"));
    ASSERT_NE(entry, nullptr);
    testsupport::TempDir dir;
    dir.Write("served.txt", "served");
    g_servedPath = dir / "served.txt";
    const Bytes before = Snapshot(entry);
    ASSERT_EQ(std::fopen(kVirtualName, "rb"), nullptr);

    g_fopen = entry;
    ASSERT_EQ(Change(true, g_fopen, reinterpret_cast<PVOID>(&RedirectingFopen)), NO_ERROR);
    FILE* file = std::fopen(kVirtualName, "rb");
    ASSERT_NE(file, nullptr);
    char text[16] = {};
    EXPECT_EQ(std::fread(text, 1, sizeof(text), file), 6u);
    std::fclose(file);
    EXPECT_STREQ(text, "served");
    EXPECT_EQ(reinterpret_cast<decltype(&std::fopen)>(g_fopen)(kVirtualName, "rb"), nullptr);

    ASSERT_EQ(Change(false, g_fopen, reinterpret_cast<PVOID>(&RedirectingFopen)), NO_ERROR);
    EXPECT_EQ(Snapshot(entry), before);
    EXPECT_EQ(std::fopen(kVirtualName, "rb"), nullptr);
}
