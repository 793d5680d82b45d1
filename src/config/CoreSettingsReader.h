// Reads the core settings from ModRoute.ini and from the manager program's
// registry key HKCU\SOFTWARE\TavrenModManager. Read access only: neither the
// file nor the registry is ever written. Anything missing or malformed gives
// the default.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "config/CoreSettings.h"

namespace modroute {

// The SelectedMod of ModRoute.ini in the game folder (UTF-8 path), in UTF-8:
// of its readings, the first that names an existing mod folder (or "base"),
// else the first; empty when the file is missing, unreadable or selects
// nothing.
std::string ReadSelectedMod(const std::string& gameFolder);

// Whether ModRoute.ini in the game folder asks for the log file.
bool ReadLogSwitch(const std::string& gameFolder);

// A 4-byte value of any type under SOFTWARE\TavrenModManager\<subkey>
// (subkey ASCII, may be empty); the default when the key, the value or
// exactly four bytes of data are missing.
std::uint32_t ReadRegistryNumber(std::string_view subkey, const wchar_t* valueName, std::uint32_t defaultValue);

// Whether SOFTWARE\TavrenModManager\<subkey> holds the value at all,
// whatever its type: where a setting came from, for the log.
bool RegistryValueStored(std::string_view subkey, const wchar_t* valueName);

// Every registry value of the core settings: the AutoRes mode (0 to 3,
// anything else 0) and its switch, EnablePreloadPVK, MaxMemoryMB, the patch
// values (each keeps its default when it cannot be read) and the fonts.
void ReadRegistrySettings(CoreSettings& settings);

// Scales of the font substitution are kept between 50 and 200 percent.
constexpr std::int32_t ClampFontScale(std::int32_t scale) { return scale < 50 ? 50 : (scale > 200 ? 200 : scale); }

}  // namespace modroute
