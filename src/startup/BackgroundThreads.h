// Thread procedures of the background work started by the entry points. Each
// runs as the system's own work (SystemScope) from its first instruction.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "patches/FontRules.h"

namespace modroute {

// Each of the three threads the attach sequence starts finishes one piece of
// the start-up gate's work (StartupGate), whichever way it ends: the full
// initialisation the map table, the font thread the face check (at once; it
// hooks D3DX 3 s later if nothing did before), the pack thread the packs. The
// pack thread preloads, then registers the base and mod packs; it runs at
// normal priority, since the game's first opens wait for it.
DWORD WINAPI FullInitializeThread(LPVOID);
DWORD WINAPI FontHookThread(LPVOID);
DWORD WINAPI ActivationThread(LPVOID);
DWORD WINAPI PvkIndexThread(LPVOID);

// The font settings of the registry, as the font hooks take them.
FontSettings ConfiguredFontSettings();

// Full paths of the pack files whose indexes PvkIndexThread loads: the base
// folder's *.pvk, then the selected mod's folder's (when there is one).
std::vector<std::string> PvkIndexFiles(const std::string& baseFolder, const std::string& modFolder);

// Creates a thread that keeps the library loaded while it runs and closes
// its handle; false when creation failed.
bool StartDetachedThread(LPTHREAD_START_ROUTINE procedure);

}  // namespace modroute
