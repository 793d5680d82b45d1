#include "common/DebugOutput.h"

#include <windows.h>

#include <string>

#include "common/TextEncoding.h"

namespace modroute {

void PrintDebugLine(std::string_view utf8Text) {
    const std::string ansi = Utf8ToAnsi(utf8Text);
    OutputDebugStringA(ansi.c_str());
}

void PrintDebugLineWithAnsi(std::string_view utf8Prefix, std::string_view ansiText) {
    std::string line = Utf8ToAnsi(utf8Prefix);
    line += ansiText;
    line += '\n';
    OutputDebugStringA(line.c_str());
}

}  // namespace modroute
