#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>

#include "detours/detours.h"
#include "unit/detours/SyntheticCode.h"

using namespace detourtest;

namespace {

const char kVirtualName[] = "modroute-detour-virtual.txt";

PVOID g_real = nullptr;
DWORD WINAPI VirtualGetFileAttributesA(LPCSTR path) {
    if (std::strcmp(path, kVirtualName) == 0) return FILE_ATTRIBUTE_READONLY;
    return reinterpret_cast<decltype(&GetFileAttributesA)>(g_real)(path);
}

LONG Change(bool attach) {
    const PVOID detour = reinterpret_cast<PVOID>(&VirtualGetFileAttributesA);
    DetourTransactionBegin();
    DetourUpdateThread(GetCurrentThread());
    const LONG queued = attach ? DetourAttach(&g_real, detour) : DetourDetach(&g_real, detour);
    const LONG committed = DetourTransactionCommit();
    return queued != NO_ERROR ? queued : committed;
}

}  // namespace

// kernel32 (a hot-patch entry under Wine), called through this program's import.
TEST(RealFunctions, Kernel32GetFileAttributesA) {
    void* const entry = reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetFileAttributesA"));
    ASSERT_NE(entry, nullptr);
    const Bytes before = Snapshot(entry);
    const DWORD protection = ProtectionOf(entry);
    char windows[MAX_PATH] = {};
    ASSERT_NE(GetWindowsDirectoryA(windows, MAX_PATH), 0u);
    ASSERT_EQ(GetFileAttributesA(kVirtualName), INVALID_FILE_ATTRIBUTES);

    g_real = entry;
    ASSERT_EQ(Change(true), NO_ERROR);
    EXPECT_EQ(GetFileAttributesA(kVirtualName), static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    EXPECT_TRUE(GetFileAttributesA(windows) & FILE_ATTRIBUTE_DIRECTORY);  // passed on
    EXPECT_EQ(reinterpret_cast<decltype(&GetFileAttributesA)>(g_real)(kVirtualName), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(ProtectionOf(entry), protection);

    ASSERT_EQ(Change(false), NO_ERROR);
    EXPECT_EQ(g_real, entry);
    EXPECT_EQ(Snapshot(entry), before);
    EXPECT_EQ(ProtectionOf(entry), protection);
    EXPECT_EQ(GetFileAttributesA(kVirtualName), INVALID_FILE_ATTRIBUTES);
}
