// The system's only diagnostics: fixed lines handed to OutputDebugStringA.
#pragma once

#include <string_view>

namespace modroute {

// Prints a UTF-8 text converted to code page 936, the game's ANSI code page.
void PrintDebugLine(std::string_view utf8Text);

// Prints a fixed UTF-8 prefix followed by a path in the system's ANSI code
// page (as GetModuleFileNameA gives it) and a line feed.
void PrintDebugLineWithSystemAnsiPath(std::string_view utf8Prefix, std::string_view systemAnsiPath);

}  // namespace modroute
