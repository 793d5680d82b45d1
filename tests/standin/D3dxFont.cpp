// Stand-in for d3dx9_43.dll: D3DXCreateFontA/W print every argument they
// receive as one debugger line (faces in code page 936) and create nothing.
// A font hook placed in front of them shows up in the printed arguments; a
// test in the same process reads the last line with D3dxStandinLastCall.
#include <windows.h>

#include <cstdio>

namespace {

char g_lastCall[512] = "";

void Record(const char* api, void* device, INT height, UINT width, UINT weight, UINT mipLevels, BOOL italic,
            DWORD charSet, DWORD outputPrecision, DWORD quality, DWORD pitchAndFamily, const char* face) {
    char line[512];
    std::snprintf(line, sizeof line,
                  "d3dx9_43: %s device=0x%08lX height=%d width=%u weight=%u miplevels=%u italic=%d charset=%lu "
                  "precision=%lu quality=%lu pitchandfamily=%lu face=%s\n",
                  api, static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(device)), height, width, weight,
                  mipLevels, italic, static_cast<unsigned long>(charSet),
                  static_cast<unsigned long>(outputPrecision), static_cast<unsigned long>(quality),
                  static_cast<unsigned long>(pitchAndFamily), face ? face : "(null)");
    OutputDebugStringA(line);
    lstrcpynA(g_lastCall, line, sizeof g_lastCall);
}

}  // namespace

extern "C" const char* WINAPI D3dxStandinLastCall() { return g_lastCall; }

extern "C" HRESULT WINAPI D3DXCreateFontA(void* device, INT height, UINT width, UINT weight, UINT mipLevels,
                                          BOOL italic, DWORD charSet, DWORD outputPrecision, DWORD quality,
                                          DWORD pitchAndFamily, const char* faceName, void** font) {
    Record("D3DXCreateFontA", device, height, width, weight, mipLevels, italic, charSet, outputPrecision, quality,
           pitchAndFamily, faceName);
    if (font) *font = nullptr;
    return S_OK;
}

extern "C" HRESULT WINAPI D3DXCreateFontW(void* device, INT height, UINT width, UINT weight, UINT mipLevels,
                                          BOOL italic, DWORD charSet, DWORD outputPrecision, DWORD quality,
                                          DWORD pitchAndFamily, const wchar_t* faceName, void** font) {
    char face[256] = "(null)";
    if (faceName) {
        const int n = WideCharToMultiByte(936, 0, faceName, -1, face, sizeof face, nullptr, nullptr);
        if (n == 0) lstrcpyA(face, "(unconvertible)");
    }
    Record("D3DXCreateFontW", device, height, width, weight, mipLevels, italic, charSet, outputPrecision, quality,
           pitchAndFamily, face);
    if (font) *font = nullptr;
    return S_OK;
}
