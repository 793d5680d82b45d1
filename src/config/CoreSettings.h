// The settings read once at early initialisation, with their defaults.
#pragma once

#include <cstdint>
#include <string>

namespace modroute {

constexpr std::uint32_t kDefaultMaxMemoryMB = 512;
constexpr std::int32_t kDefaultEnablePreloadPVK = 3;

struct CoreSettings {
    std::uint32_t ToggleCommand = 1;   // hidden-command patch, 0 = off
    std::uint32_t OpenPlay = 1;        // loadsnp patch, 0 = off
    std::string TimesNewRoman;         // UTF-8 face name, empty = off
    std::int32_t TimesNewRomanScale = 100;
    std::string MingLiU;               // UTF-8 face name, empty = off
    std::int32_t MingLiUScale = 100;
    std::uint32_t AutoRes = 0;         // 0 off, 1 rebuild, 2 rebuild on change, 3 append
    bool AutoResEnabled = false;       // AutoRes != 0
    std::int32_t EnablePreloadPVK = kDefaultEnablePreloadPVK;
    std::uint32_t MaxMemoryMB = kDefaultMaxMemoryMB;  // private heap cap, 0 = none
    std::string SelectedMod;           // UTF-8, empty = none
    bool Log = false;                  // ModRoute.ini asks for ModRoute.log
};

}  // namespace modroute
