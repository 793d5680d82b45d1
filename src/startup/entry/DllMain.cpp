// The DLL's entry points: DllMain and the activation exports. Nothing thrown
// inside may leave them: the caller is the loader or the game.
#include <windows.h>

#include <exception>

#include "startup/StartupSequence.h"

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
    std::set_terminate(modroute::TerminateHandler);
    try {
        switch (reason) {
            case DLL_PROCESS_ATTACH:
                modroute::OnProcessAttach(module);
                break;
            case DLL_PROCESS_DETACH:
                modroute::OnProcessDetach(reserved != nullptr);
                break;
            default:
                break;
        }
    } catch (...) {
        // The game goes on without whatever step failed.
    }
    return TRUE;
}

extern "C" DWORD WINAPI AVIFileInit() {
    try {
        return modroute::AviFileInitEntry();
    } catch (...) {
        return 1;
    }
}

extern "C" bool InitializeTavrenModSystem() {
    try {
        return modroute::InitializeModSystemEntry();
    } catch (...) {
        return false;
    }
}
