// The library's attach and detach sequences, AVIFileInit and the full
// initialisation export, independent of how the DLL's entry points reach them.
#pragma once

#include <windows.h>

namespace modroute {

// Process attach: runs the attach sequence once; a second attach only prints.
void OnProcessAttach(HMODULE self);
// processExiting: DllMain's reserved argument was non-null, so the process is
// ending and other threads may have been killed holding locks.
void OnProcessDetach(bool processExiting);

// Body of the exported AVIFileInit: one-time activation, then forwarding.
DWORD AviFileInitEntry();

// Body of the exported InitializeTavrenModSystem.
bool InitializeModSystemEntry();

// Prints the fatal line and aborts; installed as the terminate handler.
[[noreturn]] void TerminateHandler();

}  // namespace modroute
