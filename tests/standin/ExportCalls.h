// The stand-in game's calls of the library's exports (see ExportCalls.cpp).
#pragma once

#include <string>

namespace standin {

// Calls the export of the library loaded as AVIFIL32.dll with the argument
// text of a script line (UTF-8) and gives the result fields of its line.
std::string CallExport(const std::string& name, const std::string& argument);

}  // namespace standin
