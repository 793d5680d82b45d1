#include "patches/FontHook.h"

#include <windows.h>

#include <mutex>

#include "common/SystemScope.h"
#include "common/TextEncoding.h"
#include "detours/HookTable.h"
#include "patches/FontReplacements.h"
#include "patches/InstalledFonts.h"

namespace modroute {
namespace {

// In the order they are looked up and attached.
const HookRow kGdiRows[] = {
    Row(RealFontFunctions.CreateFontA, &HookedCreateFontA, "CreateFontA"),
    Row(RealFontFunctions.CreateFontIndirectA, &HookedCreateFontIndirectA, "CreateFontIndirectA"),
    Row(RealFontFunctions.CreateFontIndirectW, &HookedCreateFontIndirectW, "CreateFontIndirectW"),
    Row(RealFontFunctions.GetStockObject, &HookedGetStockObject, "GetStockObject"),
    Row(RealFontFunctions.TextOutA, &HookedTextOutA, "TextOutA"),
};
const HookRow kUserRows[] = {
    Row(RealFontFunctions.DrawTextA, &HookedDrawTextA, "DrawTextA"),
    Row(RealFontFunctions.DrawTextW, &HookedDrawTextW, "DrawTextW"),
};
const HookRow kD3dxRows[] = {
    Row(RealFontFunctions.D3DXCreateFontA, &HookedD3DXCreateFontA, "D3DXCreateFontA"),
    Row(RealFontFunctions.D3DXCreateFontW, &HookedD3DXCreateFontW, "D3DXCreateFontW"),
};

std::mutex g_lock;  // Initialize and Remove; never taken by a hook
bool g_initialized = false;
bool g_gdiHooked = false;   // the GDI and USER rows whose slot is set are attached
bool g_d3dxHooked = false;  // the D3DX rows whose slot is set are attached

FaceResolver& Faces() {
    // Never destroyed: a hook may resolve a face until the process is gone.
    static FaceResolver* faces = new FaceResolver(FontHook::FontExists);
    return *faces;
}

void HookGdiAndUser() {
    HMODULE gdi = GetModuleHandleA("gdi32.dll");
    if (gdi == nullptr) return;
    LookUpRows(gdi, kGdiRows);
    // Without CreateFontA there is nothing worth substituting in this GDI.
    if (RealFontFunctions.CreateFontA == nullptr) {
        LookUpRows(nullptr, kGdiRows);
        return;
    }
    LookUpRows(GetModuleHandleA("user32.dll"), kUserRows);
    g_gdiHooked = AttachRows({kGdiRows, kUserRows});
}

void HookD3dx() {
    HMODULE d3dx = GetModuleHandleA("d3dx9_43.dll");
    if (d3dx == nullptr) return;
    LookUpRows(d3dx, kD3dxRows);
    g_d3dxHooked = AttachRows({kD3dxRows});
}

}  // namespace

bool FontHook::Initialize(const FontSettings& settings) {
    std::lock_guard lock(g_lock);
    if (g_initialized) return true;
    const SystemScope scope;
    Refresh(settings);
    // Either group may still be attached when an earlier removal failed.
    if (!g_gdiHooked) HookGdiAndUser();
    // Loaded already (an import of the game): hooked with the rest. Otherwise
    // when the game loads it (HookLoadedModules), or by the late step.
    if (!g_d3dxHooked) HookD3dx();
    g_initialized = true;
    return true;
}

void FontHook::HookLoadedModules(bool lateStep) {
    const SystemScope scope;
    // Loading takes the loader lock: never while holding ours.
    if (lateStep && GetModuleHandleA("d3dx9_43.dll") == nullptr) LoadLibraryA("d3dx9_43.dll");
    // Hooking asks the loader for modules and functions, so whoever holds our
    // lock may wait for the loader lock; a library load may hold that one (a
    // DllMain loading a library) and must then not wait for ours.
    std::unique_lock lock(g_lock, std::defer_lock);
    if (lateStep) {
        lock.lock();
    } else if (!lock.try_lock()) {
        return;  // another thread hooks meanwhile, and the late step comes
    }
    if (!g_initialized) return;
    if (!g_gdiHooked) HookGdiAndUser();
    if (!g_d3dxHooked) HookD3dx();
}

bool FontHook::Remove() {
    std::lock_guard lock(g_lock);
    if (!g_initialized) return false;
    const SystemScope scope;
    if (g_d3dxHooked && DetachRows({kD3dxRows})) g_d3dxHooked = false;
    if (g_gdiHooked && DetachRows({kGdiRows, kUserRows})) g_gdiHooked = false;
    g_initialized = false;
    return true;
}

bool FontHook::IsInitialized() {
    std::lock_guard lock(g_lock);
    return g_initialized;
}

void FontHook::Refresh(const FontSettings& settings) { Faces().Refresh(settings); }

void FontHook::ResolveFaces() {
    const SystemScope scope;
    Faces().Resolve(FontKind::TimesNewRoman);
    Faces().Resolve(FontKind::MingLiU);
}

const FontSettings& FontHook::CurrentSettings() { return Faces().Settings(); }

std::optional<ResolvedFace> FontHook::ResolveFace(FontKind kind) { return Faces().Resolve(kind); }

bool FontHook::FontExists(std::string_view gbkFace) { return IsFontInstalled(gbkFace); }

}  // namespace modroute
