// The settings a game starts with, as ModRoute reads them, each with where
// its value came from: ModRoute.ini, the manager program's registry values,
// or the default when there is nothing (or nothing usable) to read.
#pragma once

#include <string>
#include <vector>

#include "config/ConfigManager.h"

namespace modroute::tool {

struct SettingRow {
    std::string name;    // "SelectedMod", "Log", "AutoRes", "Fonts\\MingLiU", ...
    std::string value;   // the value ModRoute uses
    std::string source;  // where it came from
};

// ModRoute.ini's settings first, then the registry's.
std::vector<SettingRow> SettingRows(const ConfigManager& config);
void ReportSettings(const ConfigManager& config);

}  // namespace modroute::tool
