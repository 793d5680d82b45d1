// Thread procedures of the background work started by the entry points.
#pragma once

#include <windows.h>

namespace modroute {

DWORD WINAPI FullInitializeThread(LPVOID);
DWORD WINAPI FontHookThread(LPVOID);
DWORD WINAPI ActivationThread(LPVOID);
void PvkIndexThread();

// Starts PvkIndexThread detached; false when no thread could be started.
bool StartPvkIndexThread();

// Creates a thread and closes its handle; false when creation failed.
bool StartDetachedThread(LPTHREAD_START_ROUTINE procedure);

}  // namespace modroute
