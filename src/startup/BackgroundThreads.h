// Thread procedures of the background work started by the entry points.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace modroute {

DWORD WINAPI FullInitializeThread(LPVOID);
DWORD WINAPI FontHookThread(LPVOID);
DWORD WINAPI ActivationThread(LPVOID);
void PvkIndexThread();

// Full UTF-8 paths of the pack files whose indexes PvkIndexThread loads: the
// base folder's *.pvk, then the selected mod's (unless none or "base").
std::vector<std::string> PvkIndexFiles();

// Starts PvkIndexThread detached; false when no thread could be started.
bool StartPvkIndexThread();

// Creates a thread and closes its handle; false when creation failed.
bool StartDetachedThread(LPTHREAD_START_ROUTINE procedure);

}  // namespace modroute
