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
void PvkIndexThread();

// Full paths of the pack files whose indexes PvkIndexThread loads: the base
// folder's *.pvk, then the selected mod's folder's (when there is one).
std::vector<std::string> PvkIndexFiles(const std::string& baseFolder, const std::string& modFolder);

// Starts PvkIndexThread detached; false when no thread could be started.
bool StartPvkIndexThread();

// Creates a thread and closes its handle; false when creation failed.
bool StartDetachedThread(LPTHREAD_START_ROUTINE procedure);

}  // namespace modroute
