#include "startup/BackgroundThreads.h"

#include <system_error>
#include <thread>

#include "startup/ModSystem.h"

namespace modroute {

DWORD WINAPI FullInitializeThread(LPVOID) {
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

void PvkIndexThread() {
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_IDLE);
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
