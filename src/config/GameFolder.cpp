#include "config/GameFolder.h"

#include <windows.h>

#include "common/TextEncoding.h"

namespace modroute {
namespace {

// The path of the running executable; a path longer than MAX_PATH is read whole.
std::wstring MainModulePath() {
    std::wstring path(MAX_PATH, L'\0');
    while (true) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        if (path.size() >= 32768) return {};
        path.resize(path.size() * 2);
    }
}

}  // namespace

std::string LocateGameFolder() {
    const std::wstring path = MainModulePath();
    const std::size_t separator = path.find_last_of(L"\\/");
    if (separator == std::wstring::npos) return {};
    return WideToUtf8(path.substr(0, separator));
}

}  // namespace modroute
