// A plugin of the game: reads one of the game's files while it is loaded.
#include <windows.h>

namespace {
char g_read[64] = "<nothing>";
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    HANDLE file = CreateFileA("plugin\\settings.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD read = 0;
    if (file != INVALID_HANDLE_VALUE && ReadFile(file, g_read, sizeof g_read - 1, &read, nullptr)) g_read[read] = '\0';
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return TRUE;
}

extern "C" __declspec(dllexport) const char* PluginRead() { return g_read; }

// Imports the AVI library, so that loading the plugin first loads it too.
extern "C" __declspec(dllimport) DWORD WINAPI AVIFileInit();
extern "C" __declspec(dllexport) void* PluginAvi() { return reinterpret_cast<void*>(&AVIFileInit); }
