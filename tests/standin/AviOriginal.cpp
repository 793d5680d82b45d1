// Stand-in for AVIFIL32_original.dll: says that it was called and returns a
// value no real AVIFileInit returns, so a caller can tell where it landed.
#include <windows.h>

extern "C" DWORD WINAPI AVIFileInit() {
    OutputDebugStringA("AVIFIL32_original: AVIFileInit called\n");
    return 0x4F524947;  // "ORIG"
}
