// The game folder: the folder of the process's main executable.
#pragma once

#include <string>

namespace modroute {

// UTF-8, without a trailing separator; empty when the executable's path
// cannot be read.
std::string LocateGameFolder();

}  // namespace modroute
