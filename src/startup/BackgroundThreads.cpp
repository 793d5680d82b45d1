#include "startup/BackgroundThreads.h"

#include <system_error>
#include <thread>

#include "common/FileSystem.h"
#include "common/PathText.h"
#include "common/TextEncoding.h"
#include "config/ConfigManager.h"
#include "redirect/ModRouter.h"
#include "startup/ModSystem.h"

namespace modroute {

namespace {

void AppendPackFiles(const std::string& folderUtf8, std::vector<std::string>& paths) {
    // Listed names are in code page 936; the paths handed on are UTF-8 throughout.
    for (const std::string& name : ListFiles(folderUtf8, ".pvk")) {
        paths.push_back(PathJoin(folderUtf8, AnsiToUtf8(name)));
    }
}

}  // namespace

DWORD WINAPI FullInitializeThread(LPVOID) {
    if (!ConfigManager::Instance().FullInitialize()) return 1;
    if (!ModRouter::Instance().Initialize()) return 1;
    return ModSystem::FullInitialize() ? 0 : 1;
}

DWORD WINAPI FontHookThread(LPVOID) {
    Sleep(3000);
    return 0;
}

DWORD WINAPI ActivationThread(LPVOID) {
    ModSystem::FullInitialize();
    return 0;
}

std::vector<std::string> PvkIndexFiles() {
    const ConfigManager& config = ConfigManager::Instance();
    const std::string gameFolder = config.GetGameFolderUtf8();
    std::string baseFolder = PathJoin(gameFolder, "base");
    for (const ModFolder& folder : config.GetModFolders()) {
        if (folder.name == "base") {
            baseFolder = folder.path;
            break;
        }
    }
    std::vector<std::string> paths;
    AppendPackFiles(baseFolder, paths);
    const std::string selectedMod = config.GetSelectedMod();
    if (!selectedMod.empty() && selectedMod != "base") {
        AppendPackFiles(PathJoin(PathJoin(gameFolder, "mods"), selectedMod), paths);
    }
    return paths;
}

void PvkIndexThread() {
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_IDLE);
    const std::vector<std::string> packs = PvkIndexFiles();
    // Each pack's index is loaded into the virtual file system here once it is part of the build.
    static_cast<void>(packs);
}

bool StartPvkIndexThread() {
    try {
        std::thread(PvkIndexThread).detach();
        return true;
    } catch (const std::system_error&) {
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
