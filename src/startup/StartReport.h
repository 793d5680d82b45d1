// What a start writes into ModRoute.log when ModRoute.ini asks for it
// (Log=1 in [Settings]): the version, the game folder, the selected mod, each
// setting and where it came from, the packs preloaded, registered or refused
// and why, the hooks, the search list and the AutoRes outcome. Each function
// does nothing while the log is closed.
#pragma once

#include <string>
#include <string_view>

#include "config/ConfigManager.h"

namespace modroute {

// Opens the log beside the game when the settings ask for it, and writes
// what the early stage read.
void OpenStartLog(const ConfigManager& config);
void LogHooksInstalled(bool installed);
void LogPackIndexed(const std::string& packPath, bool registered);
// The full context the redirector was given: search list and map table.
void LogFullStart();
// Any other line, for steps that measure something (the first opens' wait).
void LogStartLine(std::string_view utf8);

}  // namespace modroute
