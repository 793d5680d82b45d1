// Thread procedures of the background work started by the entry points. Each
// runs as the system's own work (SystemScope) from its first instruction.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace modroute {

DWORD WINAPI FullInitializeThread(LPVOID);
DWORD WINAPI FontHookThread(LPVOID);
DWORD WINAPI ActivationThread(LPVOID);
// Runs at idle priority.
DWORD WINAPI PvkIndexThread(LPVOID);

// Full paths of the pack files whose indexes PvkIndexThread loads: the base
// folder's *.pvk, then the selected mod's folder's (when there is one).
std::vector<std::string> PvkIndexFiles(const std::string& baseFolder, const std::string& modFolder);

// Creates a thread that keeps the library loaded while it runs and closes
// its handle; false when creation failed.
bool StartDetachedThread(LPTHREAD_START_ROUTINE procedure);

}  // namespace modroute
