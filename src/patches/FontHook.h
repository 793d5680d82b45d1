// The font substitution: hooks the font-creating functions of GDI and D3DX 9
// so that the game's Times New Roman and MingLiU fonts are created with the
// faces and sizes the player configured (FontRules), and passes four more
// drawing functions through unchanged. Each module's hooks are placed and
// removed in a hook-engine transaction of their own, with every other thread
// of the process enlisted: the game draws while they change.
//
// Thread safety: Initialize, Remove and Refresh may run on any thread while
// game threads create fonts; a hook reads the settings through the face
// resolver's snapshots, never half-written ones.
#pragma once

#include <optional>
#include <string_view>

#include "patches/FaceResolver.h"
#include "patches/FontRules.h"

namespace modroute {

class FontHook {
public:
    // Takes the settings (Refresh) and hooks what it finds: the GDI and USER
    // functions when gdi32.dll is loaded and has CreateFontA, the D3DX ones
    // when d3dx9_43.dll is loaded. True, also when already initialised or a
    // module or function is missing. Safe under the loader lock: no face is
    // checked and no library loaded here.
    static bool Initialize(const FontSettings& settings);
    // Once initialised: hooks the GDI and D3DX functions that are not yet,
    // when their library is loaded by now. The late step loads d3dx9_43.dll
    // first if need be; otherwise (right after a library load of the game,
    // maybe under the loader lock) it does nothing while another thread hooks.
    static void HookLoadedModules(bool lateStep);
    // Unhooks everything; false, touching nothing, when not initialised.
    static bool Remove();
    static bool IsInitialized();

    // The configured faces and scales; each kind is resolved again on its next use.
    static void Refresh(const FontSettings& settings);
    // Resolves both kinds now. Asking the system which faces exist takes a
    // screen DC, which may load the display driver under the loader lock:
    // done on the font thread, a game thread never does it inside a hook
    // (under Wine that deadlocked with a library loading beside it).
    static void ResolveFaces();
    // The settings now in force, as the hooks choose a kind by them.
    static const FontSettings& CurrentSettings();

    // The face (and scale) that replaces a kind's fonts, decided on the
    // kind's first use: nothing when the kind is off or no candidate face is
    // installed. Never throws.
    static std::optional<ResolvedFace> ResolveFace(FontKind kind);
    // Whether GDI enumerates the face (GBK).
    static bool FontExists(std::string_view gbkFace);
};

}  // namespace modroute
