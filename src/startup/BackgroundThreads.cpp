#include "startup/BackgroundThreads.h"

#include <thread>

#include "common/FileSystem.h"
#include "common/PathText.h"
#include "common/SystemScope.h"
#include "config/ConfigManager.h"
#include "startup/ModSystem.h"
#include "startup/RouterSetup.h"

namespace modroute {

DWORD WINAPI FullInitializeThread(LPVOID) {
    const SystemScope scope;
    if (!ConfigManager::Instance().FullInitialize()) return 1;
    if (!InitializeRouter()) return 1;
    return ModSystem::FullInitialize() ? 0 : 1;
}

DWORD WINAPI FontHookThread(LPVOID) {
    const SystemScope scope;
    Sleep(3000);
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

void PvkIndexThread() {
    const SystemScope scope;
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_IDLE);
    const ConfigManager& config = ConfigManager::Instance();
    const std::vector<std::string> packs = PvkIndexFiles(config.GetBaseFolder(), config.GetSelectedModFolder());
    // Each pack's index is loaded into the virtual file system here once it is part of the build.
    static_cast<void>(packs);
}

bool StartPvkIndexThread() {
    try {
        std::thread(PvkIndexThread).detach();
        return true;
    } catch (...) {
        // The attach sequence goes on without the pack indexes rather than
        // ending the game in an unhandled exception.
        return false;
    }
}

bool StartDetachedThread(LPTHREAD_START_ROUTINE procedure) {
    HANDLE thread = CreateThread(nullptr, 0, procedure, nullptr, 0, nullptr);
    if (thread == nullptr) return false;
    CloseHandle(thread);
    return true;
}

}  // namespace modroute
