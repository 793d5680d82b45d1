// The DLL's entry points: DllMain and the activation exports.
#include <windows.h>

#include <exception>

#include "startup/StartupSequence.h"

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    std::set_terminate(modroute::TerminateHandler);
    switch (reason) {
        case DLL_PROCESS_ATTACH:
            modroute::OnProcessAttach(module);
            break;
        case DLL_PROCESS_DETACH:
            modroute::OnProcessDetach();
            break;
        default:
            break;
    }
    return TRUE;
}

extern "C" DWORD WINAPI AVIFileInit() { return modroute::AviFileInitEntry(); }

extern "C" bool InitializeTavrenModSystem() { return modroute::InitializeModSystemEntry(); }
