#include "startup/BackgroundThreads.h"

#include "common/DebugOutput.h"
#include "common/FileSystem.h"
#include "common/PathText.h"
#include "common/StartupGate.h"
#include "common/SystemScope.h"
#include "common/TextEncoding.h"
#include "config/ConfigManager.h"
#include "patches/FontHook.h"
#include "startup/ModSystem.h"
#include "startup/RouterSetup.h"
#include "startup/StartReport.h"
#include "vfs/VirtualFileSystem.h"

namespace modroute {

namespace {

// Marks a piece of start-up work finished when the thread doing it ends,
// whichever way: a game call waiting for it must never wait for nothing.
class FinishesWork {
public:
    explicit FinishesWork(StartupWork work) : m_work(work) {}
    ~FinishesWork() { StartupGate::Instance().Finish(m_work); }
    FinishesWork(const FinishesWork&) = delete;
    FinishesWork& operator=(const FinishesWork&) = delete;

private:
    StartupWork m_work;
};

}  // namespace

FontSettings ConfiguredFontSettings() {
    const CoreSettings& settings = ConfigManager::Instance().Settings();
    return FontSettings::FromUtf8(settings.TimesNewRoman, settings.TimesNewRomanScale, settings.MingLiU,
                                  settings.MingLiUScale, Utf8ToGbk);
}

DWORD WINAPI FullInitializeThread(LPVOID) {
    const SystemScope scope;
    const FinishesWork mapTable(StartupWork::MapTable);
    if (!ModSystem::FullConfiguration()) return 1;
    if (!InitializeRouter()) return 1;
    LogFullStart();
    return ModSystem::FullInitialize() ? 0 : 1;
}

DWORD WINAPI FontHookThread(LPVOID) {
    const SystemScope scope;
    {
        const FinishesWork faces(StartupWork::Faces);
        // Hooked at attach already; here, off the loader lock, the faces are checked.
        FontHook::ResolveFaces();
    }
    Sleep(3000);
    // Libraries that came by other means than the game's LoadLibrary.
    FontHook::HookLoadedModules(true);
    return 0;
}

DWORD WINAPI ActivationThread(LPVOID) {
    const SystemScope scope;
    ModSystem::FullInitialize();
    return 0;
}

std::vector<std::string> PvkIndexFiles(const std::string& baseFolder, const std::string& modFolder) {
    std::vector<std::string> paths;
    for (const std::string& folder : {baseFolder, modFolder}) {
        if (folder.empty()) continue;
        for (const std::string& name : ListFiles(folder, ".pvk")) paths.push_back(PathJoin(folder, name));
    }
    return paths;
}

DWORD WINAPI PvkIndexThread(LPVOID) {
    const SystemScope scope;
    const FinishesWork packs(StartupWork::Packs);
    const ConfigManager& config = ConfigManager::Instance();
    const bool preloaded = VirtualFileSystem::Instance().Initialize(VirtualFileSetup(config));
    PrintDebugLine(preloaded ? "虚拟文件系统初始化完成\n" : "警告: 虚拟文件系统初始化失败\n");
    for (const std::string& pack : PvkIndexFiles(config.GetBaseFolder(), config.GetSelectedModFolder())) {
        LogPackIndexed(pack, VirtualFileSystem::Instance().LoadPvkIndex(pack));
    }
    return 0;
}

namespace {

// Each background thread holds a reference to the library while it runs and
// drops it as its very last step, so the library can never be unloaded under
// a thread of its own.
DWORD WINAPI PinnedThread(LPVOID parameter) {
    const auto procedure = reinterpret_cast<LPTHREAD_START_ROUTINE>(parameter);
    DWORD code = 1;
    StartupGate::Instance().EnterStartupThread();
    try {
        code = procedure(nullptr);
    } catch (...) {
        // A failed background stage leaves the game with what is already in place.
    }
    StartupGate::Instance().LeaveStartupThread();
    HMODULE self = nullptr;
    if (GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCWSTR>(&PinnedThread), &self)) {
        FreeLibraryAndExitThread(self, code);
    }
    return code;
}

}  // namespace

bool StartDetachedThread(LPTHREAD_START_ROUTINE procedure) {
    HMODULE self = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&PinnedThread), &self)) {
        return false;
    }
    HANDLE thread = CreateThread(nullptr, 0, PinnedThread, reinterpret_cast<LPVOID>(procedure), 0, nullptr);
    if (thread == nullptr) {
        FreeLibrary(self);
        return false;
    }
    CloseHandle(thread);
    return true;
}

}  // namespace modroute
