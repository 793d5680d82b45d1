#include "common/DebugOutput.h"

#include <windows.h>

#include <string>

#include "common/TextEncoding.h"

namespace modroute {

void PrintDebugLine(std::string_view utf8Text) {
    const std::string gbk = Utf8ToGbk(utf8Text);
    OutputDebugStringA(gbk.c_str());
}

void PrintDebugLineWithSystemAnsiPath(std::string_view utf8Prefix, std::string_view systemAnsiPath) {
    std::string line = Utf8ToGbk(utf8Prefix);
    line += systemAnsiPath;
    line += '\n';
    OutputDebugStringA(line.c_str());
}

}  // namespace modroute
