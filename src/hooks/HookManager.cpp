#include "hooks/HookManager.h"

#include <windows.h>

#include <atomic>
#include <mutex>

#include "detours/DetourAllThreads.h"
#include "detours/detours.h"
#include "hooks/FileHooks.h"
#include "hooks/HookCall.h"
#include "hooks/RealFunctions.h"
#include "vfs/VirtualFileFinder.h"
#include "vfs/VirtualHandleManager.h"

namespace modroute {
namespace {

struct HookRow {
    void** slot;
    void* replacement;
};

template <typename Function>
HookRow Row(Function& slot, Function replacement) {
    return {reinterpret_cast<void**>(&slot), reinterpret_cast<void*>(replacement)};
}

// The kernel32 functions, in the order they are attached and detached.
const HookRow* KernelRows() {
    static const HookRow rows[] = {
        Row(RealFunctions.CreateFileA, &HookedCreateFileA),
        Row(RealFunctions.CreateFileW, &HookedCreateFileW),
        Row(RealFunctions.ReadFile, &HookedReadFile),
        Row(RealFunctions.CloseHandle, &HookedCloseHandle),
        Row(RealFunctions.GetFileAttributesA, &HookedGetFileAttributesA),
        Row(RealFunctions.GetFileSize, &HookedGetFileSize),
        Row(RealFunctions.GetFileSizeEx, &HookedGetFileSizeEx),
        Row(RealFunctions.SetFilePointer, &HookedSetFilePointer),
        Row(RealFunctions.SetFilePointerEx, &HookedSetFilePointerEx),
        Row(RealFunctions.GetFileInformationByHandle, &HookedGetFileInformationByHandle),
        Row(RealFunctions.GetFileType, &HookedGetFileType),
        Row(RealFunctions.FindFirstFileA, &HookedFindFirstFileA),
        Row(RealFunctions.FindNextFileA, &HookedFindNextFileA),
        Row(RealFunctions.FindClose, &HookedFindClose),
        Row(RealFunctions.LoadLibraryA, &HookedLoadLibraryA),
        Row(RealFunctions.LoadLibraryW, &HookedLoadLibraryW),
        {nullptr, nullptr},
    };
    return rows;
}

const HookRow* RuntimeLibraryRows() {
    static const HookRow rows[] = {
        Row(RealFunctions.fopen, &HookedFopen),
        Row(RealFunctions.fopen_s, &HookedFopenS),
        Row(RealFunctions._open, &HookedOpen),
        {nullptr, nullptr},
    };
    return rows;
}

constexpr const char* kRuntimeLibraryNames[] = {"fopen", "fopen_s", "_open"};

std::mutex g_installLock;
std::atomic<bool> g_installed{false};

// Looks the run-time library functions up again: the game's msvcrt.dll.
void FindRuntimeLibrary() {
    HMODULE runtime = GetModuleHandleA("msvcrt.dll");
    if (runtime == nullptr) runtime = LoadLibraryA("msvcrt.dll");
    const HookRow* rows = RuntimeLibraryRows();
    for (int i = 0; rows[i].slot != nullptr; ++i) {
        *rows[i].slot =
            runtime != nullptr ? reinterpret_cast<void*>(GetProcAddress(runtime, kRuntimeLibraryNames[i])) : nullptr;
    }
}

}  // namespace

bool HookManager::Install() {
    std::lock_guard lock(g_installLock);
    if (g_installed.load(std::memory_order_acquire)) return true;
    const SystemScope scope;
    if (DetourTransactionBegin() != NO_ERROR) return false;
    // Game threads may already run (the library can be loaded late): every
    // one of them is stopped and moved out of the rewritten bytes.
    if (DetourUpdateAllOtherThreads() != NO_ERROR) {
        DetourTransactionAbort();
        return false;
    }
    for (const HookRow* row = KernelRows(); row->slot != nullptr; ++row) {
        if (*row->slot != nullptr) DetourAttach(row->slot, row->replacement);
    }
    FindRuntimeLibrary();
    for (const HookRow* row = RuntimeLibraryRows(); row->slot != nullptr; ++row) {
        if (*row->slot != nullptr) DetourAttach(row->slot, row->replacement);
    }
    if (DetourTransactionCommit() != NO_ERROR) {
        DetourTransactionAbort();
        return false;
    }
    g_installed.store(true, std::memory_order_release);
    return true;
}

void HookManager::Uninstall(bool waitForCallersToLeave) {
    std::lock_guard lock(g_installLock);
    if (!g_installed.load(std::memory_order_acquire)) return;
    const SystemScope scope;
    if (DetourTransactionBegin() == NO_ERROR) {
        if (DetourUpdateAllOtherThreads() != NO_ERROR) {
            DetourTransactionAbort();
        } else {
            for (const HookRow* row = KernelRows(); row->slot != nullptr; ++row) {
                if (*row->slot != nullptr) DetourDetach(row->slot, row->replacement);
            }
            for (const HookRow* row = RuntimeLibraryRows(); row->slot != nullptr; ++row) {
                if (*row->slot != nullptr) DetourDetach(row->slot, row->replacement);
            }
            if (DetourTransactionCommit() == NO_ERROR) {
                for (const HookRow* row = RuntimeLibraryRows(); row->slot != nullptr; ++row) *row->slot = nullptr;
            }
        }
    }
    VirtualHandleManager::Instance().Clear();
    VirtualFindTable::Instance().Clear();
    g_installed.store(false, std::memory_order_release);
    if (waitForCallersToLeave) {
        // A thread inside a replacement must be out of it before the code goes.
        for (int waited = 0; waited < 500 && HookCallsInProgress() != 0; ++waited) Sleep(1);
    }
}

bool HookManager::IsInstalled() { return g_installed.load(std::memory_order_acquire); }

}  // namespace modroute
