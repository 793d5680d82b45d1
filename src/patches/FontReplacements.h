// The replacements of the nine font and text functions and the slots through
// which they reach the real ones. A slot holds the real function's address
// while nothing is hooked and the hook engine's trampoline while it is; a
// replacement whose slot is empty returns a null handle (E_FAIL for D3DX)
// without calling anything. Every replacement passes straight through once
// the process is exiting or when the thread is doing the system's own work,
// which includes being inside another font replacement: a font the real
// function creates on the way (GDI's CreateFontA goes through
// CreateFontIndirectA, for one) is not substituted a second time.
#pragma once

#include <windows.h>

namespace modroute {

using D3dxCreateFontAFunction = HRESULT(WINAPI*)(void* device, INT height, UINT width, UINT weight,
                                                 UINT mipLevels, BOOL italic, DWORD charSet,
                                                 DWORD outputPrecision, DWORD quality, DWORD pitchAndFamily,
                                                 LPCSTR faceName, void** font);
using D3dxCreateFontWFunction = HRESULT(WINAPI*)(void* device, INT height, UINT width, UINT weight,
                                                 UINT mipLevels, BOOL italic, DWORD charSet,
                                                 DWORD outputPrecision, DWORD quality, DWORD pitchAndFamily,
                                                 LPCWSTR faceName, void** font);

struct RealFontFunctionTable {
    // gdi32.dll
    decltype(&::CreateFontA) CreateFontA;
    decltype(&::CreateFontIndirectA) CreateFontIndirectA;
    decltype(&::CreateFontIndirectW) CreateFontIndirectW;
    decltype(&::GetStockObject) GetStockObject;
    decltype(&::TextOutA) TextOutA;
    // user32.dll
    decltype(&::DrawTextA) DrawTextA;
    decltype(&::DrawTextW) DrawTextW;
    // d3dx9_43.dll
    D3dxCreateFontAFunction D3DXCreateFontA;
    D3dxCreateFontWFunction D3DXCreateFontW;
};

// Process-wide; empty until FontHook::Initialize looks the functions up.
extern RealFontFunctionTable RealFontFunctions;

HFONT WINAPI HookedCreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                               DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outputPrecision,
                               DWORD clipPrecision, DWORD quality, DWORD pitchAndFamily, LPCSTR faceName);
HFONT WINAPI HookedCreateFontIndirectA(const LOGFONTA* logFont);
HFONT WINAPI HookedCreateFontIndirectW(const LOGFONTW* logFont);
HGDIOBJ WINAPI HookedGetStockObject(int object);
BOOL WINAPI HookedTextOutA(HDC dc, int x, int y, LPCSTR text, int length);
int WINAPI HookedDrawTextA(HDC dc, LPCSTR text, int length, LPRECT rect, UINT format);
int WINAPI HookedDrawTextW(HDC dc, LPCWSTR text, int length, LPRECT rect, UINT format);
HRESULT WINAPI HookedD3DXCreateFontA(void* device, INT height, UINT width, UINT weight, UINT mipLevels,
                                     BOOL italic, DWORD charSet, DWORD outputPrecision, DWORD quality,
                                     DWORD pitchAndFamily, LPCSTR faceName, void** font);
HRESULT WINAPI HookedD3DXCreateFontW(void* device, INT height, UINT width, UINT weight, UINT mipLevels,
                                     BOOL italic, DWORD charSet, DWORD outputPrecision, DWORD quality,
                                     DWORD pitchAndFamily, LPCWSTR faceName, void** font);

}  // namespace modroute
