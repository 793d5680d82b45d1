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
    // of d3dx9_43.dll (loaded if need be) unless they are hooked already.
    // True, also when already initialised or a module or function is missing.
    static bool Initialize(const FontSettings& settings);
    // Unhooks everything; false, touching nothing, when not initialised.
    static bool Remove();
    static bool IsInitialized();

    // The configured faces and scales; each kind is resolved again on its next use.
    static void Refresh(const FontSettings& settings);
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
