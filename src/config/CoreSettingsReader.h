// Reads the core settings from ModRoute.ini and from the manager program's
// registry key HKCU\SOFTWARE\TavrenModManager. Read access only: neither the
// file nor the registry is ever written.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "config/CoreSettings.h"

namespace modroute {

constexpr std::uint32_t kDefaultMaxMemoryMB = 512;
constexpr std::int32_t kDefaultEnablePreloadPVK = 3;

// ModRoute.ini in the game folder (ANSI form): sets SelectedMod, then
// EnablePreloadPVK and maxMemoryMB from the registry. When the file is
// missing, a folder, unreadable or empty only maxMemoryMB is read, and the
// result is false.
bool ReadSettingsFile(const std::string& ansiGameFolder, CoreSettings& settings, std::uint32_t& maxMemoryMB);

// A 4-byte value of any type under SOFTWARE\TavrenModManager\<subkey>
// (subkey ASCII, may be empty); the default when the key, the value or
// exactly four bytes of data are missing.
std::uint32_t ReadRegistryNumber(std::string_view subkey, const wchar_t* valueName, std::uint32_t defaultValue);

// AutoRes mode 0 to 3 (anything else is 0); returns the AutoRes switch.
bool ReadAutoResMode(CoreSettings& settings);

// ToggleCommand and OpenPlay; each keeps its value when it cannot be read.
void ReadPatchValues(CoreSettings& settings);

// The two font faces and scales; true when a face is configured.
bool ReadFontValues(CoreSettings& settings);

// Scales of the font substitution are kept between 50 and 200 percent.
constexpr std::int32_t ClampFontScale(std::int32_t scale) { return scale < 50 ? 50 : (scale > 200 ? 200 : scale); }

}  // namespace modroute
