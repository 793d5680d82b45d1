#include "hooks/HookManager.h"

#include <windows.h>

#include <atomic>
#include <span>
#include <mutex>

#include "common/SystemScope.h"
#include "detours/HookTable.h"
#include "hooks/FileHooks.h"
#include "hooks/RealFunctions.h"
#include "vfs/VirtualFileFinder.h"
#include "vfs/VirtualHandleManager.h"

namespace modroute {
namespace {

// The kernel32 functions, in the order they are attached and detached.
std::span<const HookRow> KernelRows() {
    static const HookRow rows[] = {
        Row(RealFunctions.CreateFileA, &HookedCreateFileA),
        Row(RealFunctions.CreateFileW, &HookedCreateFileW),
        Row(RealFunctions.ReadFile, &HookedReadFile),
        Row(RealFunctions.CloseHandle, &HookedCloseHandle),
        Row(RealFunctions.GetFileAttributesA, &HookedGetFileAttributesA),
        Row(RealFunctions.GetFileAttributesW, &HookedGetFileAttributesW),
        Row(RealFunctions.GetFileAttributesExA, &HookedGetFileAttributesExA),
        Row(RealFunctions.GetFileAttributesExW, &HookedGetFileAttributesExW),
        Row(RealFunctions.GetFileSize, &HookedGetFileSize),
        Row(RealFunctions.GetFileSizeEx, &HookedGetFileSizeEx),
        Row(RealFunctions.SetFilePointer, &HookedSetFilePointer),
        Row(RealFunctions.SetFilePointerEx, &HookedSetFilePointerEx),
        Row(RealFunctions.GetFileInformationByHandle, &HookedGetFileInformationByHandle),
        Row(RealFunctions.GetFileType, &HookedGetFileType),
        Row(RealFunctions.ReadFileEx, &HookedReadFileEx),
        Row(RealFunctions.WriteFile, &HookedWriteFile),
        Row(RealFunctions.GetFileTime, &HookedGetFileTime),
        Row(RealFunctions.GetFileInformationByHandleEx, &HookedGetFileInformationByHandleEx),
        Row(RealFunctions.DuplicateHandle, &HookedDuplicateHandle),
        Row(RealFunctions.LockFile, &HookedLockFile),
        Row(RealFunctions.LockFileEx, &HookedLockFileEx),
        Row(RealFunctions.UnlockFile, &HookedUnlockFile),
        Row(RealFunctions.UnlockFileEx, &HookedUnlockFileEx),
        Row(RealFunctions.CreateFileMappingA, &HookedCreateFileMappingA),
        Row(RealFunctions.CreateFileMappingW, &HookedCreateFileMappingW),
        Row(RealFunctions.FindFirstFileA, &HookedFindFirstFileA),
        Row(RealFunctions.FindNextFileA, &HookedFindNextFileA),
        Row(RealFunctions.FindFirstFileW, &HookedFindFirstFileW),
        Row(RealFunctions.FindNextFileW, &HookedFindNextFileW),
        Row(RealFunctions.FindFirstFileExA, &HookedFindFirstFileExA),
        Row(RealFunctions.FindFirstFileExW, &HookedFindFirstFileExW),
        Row(RealFunctions.FindClose, &HookedFindClose),
        Row(RealFunctions.LoadLibraryA, &HookedLoadLibraryA),
        Row(RealFunctions.LoadLibraryW, &HookedLoadLibraryW),
        Row(RealFunctions.DeleteFileA, &HookedDeleteFileA),
        Row(RealFunctions.DeleteFileW, &HookedDeleteFileW),
        Row(RealFunctions.MoveFileA, &HookedMoveFileA),
        Row(RealFunctions.MoveFileW, &HookedMoveFileW),
        Row(RealFunctions.MoveFileExA, &HookedMoveFileExA),
        Row(RealFunctions.MoveFileExW, &HookedMoveFileExW),
        Row(RealFunctions.CreateDirectoryA, &HookedCreateDirectoryA),
        Row(RealFunctions.CreateDirectoryW, &HookedCreateDirectoryW),
        Row(RealFunctions.RemoveDirectoryA, &HookedRemoveDirectoryA),
        Row(RealFunctions.RemoveDirectoryW, &HookedRemoveDirectoryW),
        Row(RealFunctions.SetCurrentDirectoryA, &HookedSetCurrentDirectoryA),
        Row(RealFunctions.SetCurrentDirectoryW, &HookedSetCurrentDirectoryW),
    };
    return rows;
}

std::span<const HookRow> RuntimeLibraryRows() {
    static const HookRow rows[] = {
        Row(RealFunctions.fopen, &HookedFopen, "fopen"),
        Row(RealFunctions.fopen_s, &HookedFopenS, "fopen_s"),
        Row(RealFunctions._open, &HookedOpen, "_open"),
        Row(RealFunctions.fstat, &HookedFstat<&RealFunctionTable::fstat>, "_fstat"),
        Row(RealFunctions.fstat32, &HookedFstat<&RealFunctionTable::fstat32>, "_fstat32"),
        Row(RealFunctions.fstat64, &HookedFstat<&RealFunctionTable::fstat64>, "_fstat64"),
        Row(RealFunctions.fstati64, &HookedFstat<&RealFunctionTable::fstati64>, "_fstati64"),
        Row(RealFunctions.fstat32i64, &HookedFstat<&RealFunctionTable::fstat32i64>, "_fstat32i64"),
        Row(RealFunctions.fstat64i32, &HookedFstat<&RealFunctionTable::fstat64i32>, "_fstat64i32"),
    };
    return rows;
}

std::mutex g_installLock;
std::atomic<bool> g_installed{false};

// Looks the run-time library functions up again: the game's msvcrt.dll.
void FindRuntimeLibrary() {
    HMODULE runtime = GetModuleHandleA("msvcrt.dll");
    if (runtime == nullptr) runtime = LoadLibraryA("msvcrt.dll");
    LookUpRows(runtime, RuntimeLibraryRows());
}

}  // namespace

bool HookManager::Install() {
    std::lock_guard lock(g_installLock);
    if (g_installed.load(std::memory_order_acquire)) return true;
    const SystemScope scope;
    FindRuntimeLibrary();
    if (!AttachRows({KernelRows(), RuntimeLibraryRows()})) return false;
    g_installed.store(true, std::memory_order_release);
    return true;
}

bool HookManager::Uninstall() {
    std::lock_guard lock(g_installLock);
    if (!g_installed.load(std::memory_order_acquire)) return true;
    const SystemScope scope;
    // Replacements that stay in place keep working with the handles they know.
    if (!DetachRows({KernelRows(), RuntimeLibraryRows()})) return false;
    for (const HookRow& row : RuntimeLibraryRows()) *row.slot = nullptr;
    VirtualHandleManager::Instance().Clear();
    VirtualFindTable::Instance().Clear();
    g_installed.store(false, std::memory_order_release);
    return true;
}

}  // namespace modroute
