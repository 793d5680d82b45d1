#include "startup/StartupSequence.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <exception>

#include "common/DebugOutput.h"
#include "common/HookCall.h"
#include "common/StartupGate.h"
#include "common/SystemScope.h"
#include "config/ConfigManager.h"
#include "hooks/HookManager.h"
#include "index/FileIndex.h"
#include "memory/VfsHeap.h"
#include "patches/FontHook.h"
#include "patches/GameCode.h"
#include "startup/BackgroundThreads.h"
#include "startup/ModSystem.h"
#include "startup/RouterSetup.h"
#include "startup/StartReport.h"

namespace modroute {
namespace {

// One-byte flags written only on the loader's thread or inside the first
// AVIFileInit call.
bool g_attachGuard = false;
bool g_attachDone = false;
bool g_activationPending = true;
bool g_fontThreadStarted = false;
bool g_fullInitThreadStarted = false;

// Lines printed when the library is unloaded or the process ends, prepared in
// code page 936: nothing may be allocated then, since a thread killed by the
// exit may hold the heap's lock.
constexpr char kDetachStarts[] = "=== DLL\xD0\xB6\xD4\xD8\xA3\xAC\xBF\xAA\xCA\xBC\xC7\xE5\xC0\xED ===\n";  // 卸载，开始清理
constexpr char kDetachDone[] = "=== DLL\xC7\xE5\xC0\xED\xCD\xEA\xB3\xC9 ===\n";                           // 清理完成
constexpr char kFontHookRemovalFailed[] =
    "\xBE\xAF\xB8\xE6: \xD7\xD6\xCC\xE5 Hook \xD0\xB6\xD4\xD8\xCA\xA7\xB0\xDC\n";  // 警告: 字体 Hook 卸载失败
constexpr char kHookRemovalFailed[] = "\xBE\xAF\xB8\xE6: IAT Hook\xD0\xB6\xD4\xD8\xCA\xA7\xB0\xDC\n";   // 警告: …卸载失败
constexpr char kFatal[] =
    "\xD6\xC2\xC3\xFC\xB4\xED\xCE\xF3: \xCE\xB4\xB4\xA6\xC0\xED\xB5\xC4\xD2\xEC\xB3\xA3\xD6\xD5\xD6\xB9\n";  // 致命错误: 未处理的异常终止

// The two code patches the player switches in the registry.
void ApplyConfiguredCodePatches() {
    const CoreSettings& settings = ConfigManager::Instance().Settings();
    ApplySwitchablePatches(settings.ToggleCommand != 0, settings.OpenPlay != 0);
}

// The walk of the game, base and mod folders, before the mod scan: first
// opens are answered from memory once it is done. Only once the hooks are in,
// since nothing else asks it, and the library then stays loaded: the
// index's thread can never outlive the code it runs.
void StartFileIndex() {
    const ConfigManager& config = ConfigManager::Instance();
    FileIndex::Instance().Start({config.GetGameFolder(), config.GetBaseFolder(), config.GetSelectedModFolder()});
}

void PrintStageResult(bool ok, const char* success, const char* failure) {
    PrintDebugLine(ok ? success : failure);
}

void PrintMainProgramPath() {
    HMODULE mainModule = GetModuleHandleA(nullptr);
    if (mainModule == nullptr) return;
    char path[MAX_PATH] = {};
    GetModuleFileNameA(mainModule, path, MAX_PATH);
    path[MAX_PATH - 1] = '\0';
    PrintDebugLineWithSystemAnsiPath("主程序路径: ", path);
}

using AviFileInitFunction = DWORD(WINAPI*)();

// The real AVIFileInit, looked up at the first call; its library stays loaded
// from then on (loading and freeing it at every call costs the game a
// library load each time). Null when there is none. No lock: a call made
// inside a DllMain must not wait for one that waits for the loader; two
// first calls at once both look it up, and the library is simply kept twice.
std::atomic<bool> g_realAviFileInitKnown{false};
std::atomic<AviFileInitFunction> g_realAviFileInit{nullptr};

AviFileInitFunction RealAviFileInit() {
    if (g_realAviFileInitKnown.load(std::memory_order_acquire)) return g_realAviFileInit.load(std::memory_order_acquire);
    HMODULE library = LoadLibraryA("AVIFIL32_original.dll");
    if (library == nullptr) {
        char path[MAX_PATH] = {};
        const UINT length = GetSystemDirectoryA(path, MAX_PATH);
        if (length > 0 && length < MAX_PATH) {
            strncat(path, "\\AVIFIL32.dll", MAX_PATH - 1 - length);
            library = LoadLibraryA(path);
        }
    }
    AviFileInitFunction found = nullptr;
    if (library != nullptr) {
        found = reinterpret_cast<AviFileInitFunction>(reinterpret_cast<void*>(GetProcAddress(library, "AVIFileInit")));
        if (found == nullptr) FreeLibrary(library);
    }
    g_realAviFileInit.store(found, std::memory_order_release);
    g_realAviFileInitKnown.store(true, std::memory_order_release);
    return found;
}

DWORD ForwardAviFileInit() {
    const AviFileInitFunction function = RealAviFileInit();
    return function != nullptr ? function() : 1;
}

}  // namespace

void OnProcessAttach(HMODULE self) {
    const SystemScope scope;
    if (g_attachGuard) {
        PrintDebugLine("TavrenMOD: DLL重复加载，跳过初始化\n");
        return;
    }
    g_attachGuard = true;
    DisableThreadLibraryCalls(self);

    PrintDebugLine("=== TavrenMOD DLL加载 ===\n");
    PrintDebugLine("日志系统初始化成功\n");
    PrintMainProgramPath();

    PrintDebugLine("第1步：读取核心配置...\n");
    const bool coreSettingsRead = ConfigManager::Instance().EarlyInitialize();
    PrintStageResult(coreSettingsRead, "核心配置读取完成\n", "警告: 核心配置读取失败，使用默认值\n");
    OpenStartLog(ConfigManager::Instance());

    // The private heap for exported file data; nothing is printed either way.
    VfsHeap::Instance().Initialize(0, ConfigManager::Instance().Settings().MaxMemoryMB);

    // From here on, answers that depend on the start-up threads' work wait
    // for it (StartupGate); each piece is expected before its thread starts.
    StartupGate& gate = StartupGate::Instance();
    PrintDebugLine("第4步：初始化虚拟文件系统...\n");
    // Preloading reads whole packs: off the loader lock, on the pack thread.
    gate.Expect(StartupWork::Packs);
    if (!StartDetachedThread(PvkIndexThread)) gate.Finish(StartupWork::Packs);

    PrintDebugLine("第6步：早期初始化文件重定向系统...\n");
    const bool redirectReady = InitializeRouterEarly();
    PrintStageResult(redirectReady, "文件重定向系统早期初始化完成\n", "警告: 文件重定向系统早期初始化失败\n");

    PrintDebugLine("第7步：安装IAT Hook...\n");
    const bool hooksInstalled = ModSystem::EarlyInitialize();
    LogHooksInstalled(hooksInstalled);
    if (hooksInstalled) StartFileIndex();
    PrintStageResult(hooksInstalled, "IAT Hook安装成功\n", "错误: IAT Hook安装失败\n");

    // The font hooks with the file hooks, so that the game's first fonts are
    // substituted; the faces are checked on the font thread.
    FontHook::Initialize(ConfiguredFontSettings());
    LogStartLine(FontHook::IsInitialized() ? "font hooks installed" : "problem: the font hooks are not installed");
    HookManager::SetLibraryLoadedObserver([] { FontHook::HookLoadedModules(false); });
    if (!g_fontThreadStarted) {
        g_fontThreadStarted = true;
        gate.Expect(StartupWork::Faces);
        if (!StartDetachedThread(FontHookThread)) gate.Finish(StartupWork::Faces);
    }

    PrintDebugLine("第8步：早期初始化MOD系统...\n");
    PrintStageResult(ModSystem::EarlyInitialize(), "MOD系统早期初始化完成\n",
                     "警告: MOD系统早期初始化失败！游戏可能无法正常运行。\n");

    PrintDebugLine("第9步：创建完整初始化线程...\n");
    if (!g_fullInitThreadStarted) {
        // Map paths and the map index wait for AutoRes only when it runs.
        if (ConfigManager::Instance().Settings().AutoResEnabled) gate.Expect(StartupWork::MapTable);
        if (StartDetachedThread(FullInitializeThread)) {
            g_fullInitThreadStarted = true;
            PrintDebugLine("完整初始化线程创建成功\n");
        } else {
            gate.Finish(StartupWork::MapTable);
            PrintDebugLine("错误: 无法创建完整初始化线程\n");
        }
    }

    ApplyConfiguredCodePatches();

    g_attachDone = true;
    PrintDebugLine("=== DLL初始化序列完成 ===\n");
}

void OnProcessDetach(bool processExiting) {
    const SystemScope scope;
    OutputDebugStringA(kDetachStarts);
    if (processExiting) {
        // The other threads are gone, possibly inside a lock of ours: touch
        // none. The hooks stay, passing every call straight through, since
        // the system's tables are about to be destroyed.
        PassEverythingThrough();
    } else {
        // A library that installed a hook keeps itself loaded until the
        // process ends, so a real unload comes only after none went in:
        // nothing here can leave a thread inside code about to go.
        try {
            FontHook::Remove();
        } catch (...) {
            OutputDebugStringA(kFontHookRemovalFailed);
        }
        try {
            HookManager::Uninstall();
        } catch (...) {
            OutputDebugStringA(kHookRemovalFailed);
        }
        PassEverythingThrough();
        // The process goes on without the library: its heap goes with it.
        // Every start-up thread holds a reference to the library, so none is
        // left to signal the gate's events.
        VfsHeap::Instance().Destroy();
        StartupGate::Instance().CloseEvents();
    }
    OutputDebugStringA(kDetachDone);
}

DWORD AviFileInitEntry() {
    const SystemScope scope;
    if (g_activationPending) {
        g_activationPending = false;
        if (!g_attachDone && ModSystem::EarlyInitialize()) {
            StartFileIndex();
            StartDetachedThread(ActivationThread);
        }
        // Again: code that the game unpacks after loading the library is in place only now.
        ApplyConfiguredCodePatches();
        ModSystem::CharacterStep();
        PrintDebugLine("AVIFileInit: MOD 系统激活流程完成\n");
    }
    return ForwardAviFileInit();
}

bool InitializeModSystemEntry() { return ModSystem::FullInitialize(); }

void TerminateHandler() {
    OutputDebugStringA(kFatal);
    std::abort();
}

}  // namespace modroute
