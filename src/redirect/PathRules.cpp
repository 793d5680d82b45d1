#include "redirect/PathRules.h"

#include <array>

#include "common/PathText.h"

namespace modroute {
namespace {

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

constexpr std::array<std::string_view, 17> kRootFiles = {
    "config.ini", "config.exe",   "Tavren.exe",        "AsEngine.dll",        "D3DX9_43.dll",
    "ddfix.dll",  "ddfix_ext.dll", "imgui.ini",        "joystick.ini",        "lobby.lst",
    "menu.res",   "mgstringtable.ini", "mgstringtableHT.ini", "ScriptCompiler.exe", "server.cfg",
    "webnewsaddr.ini", "singlerec.ini",
};

}  // namespace

std::string ToLowerAscii(std::string_view text) {
    std::string result(text);
    for (char& c : result) c = LowerAscii(c);
    return result;
}

std::string ToUpperAscii(std::string_view text) {
    std::string result(text);
    for (char& c : result) c = UpperAscii(c);
    return result;
}

std::string NormalizePath(std::string_view path) {
    std::string result = ToBackslashes(path);
    if (result.rfind(".\\", 0) == 0) result.erase(0, 2);
    if (!result.empty() && result.front() == '\\') result.erase(0, 1);
    if (result.size() > 2 && result[0] == '.' && result[1] == '.' && result[2] != '\\') result.erase(0, 2);
    std::size_t position = 0;
    while ((position = result.find("\\\\", position)) != std::string::npos) result.erase(position, 1);
    return result;
}

bool IsRootFile(std::string_view path) {
    const std::size_t separator = FindLastSeparator(path);
    const std::string_view name = separator == std::string_view::npos ? path : path.substr(separator + 1);
    for (std::string_view root : kRootFiles) {
        if (name == root) return true;
    }
    return false;
}

bool IsSpecialFile(std::string_view path) {
    const std::string lower = ToLowerAscii(path);
    return lower.find(".wp") != std::string::npos || lower.find("_.pst") != std::string::npos;
}

std::size_t FindMapId(std::string_view lowerPath) {
    const std::size_t position = lowerPath.find("sn");
    if (position == std::string_view::npos || lowerPath.size() - position < 4) return std::string_view::npos;
    return position;
}

std::optional<std::string> RewriteMapPath(const std::string& clean, const MapDirectoryLookup& lookup) {
    const std::size_t position = FindMapId(ToLowerAscii(clean));
    if (position == std::string::npos) return std::nullopt;
    const std::string id = clean.substr(position, 4);
    const std::string key = ToUpperAscii(id);
    const std::optional<std::string> directory = lookup(key);
    if (!directory) return std::nullopt;
    const std::string rest = clean.substr(position + 4);
    const bool namesThePack = ToLowerAscii(GetFileName(clean)) == ToLowerAscii(id) + ".pak";
    const bool namesAFolder = rest.size() >= 2 && rest[0] == '\\';
    if (!namesThePack && !namesAFolder) return std::nullopt;

    std::string rewritten = clean.substr(0, position) + *directory + rest;
    const std::size_t separator = FindLastSeparator(rewritten);
    if (separator != std::string::npos && ToUpperAscii(GetStem(rewritten)) == key) {
        rewritten = rewritten.substr(0, separator + 1) + *directory + GetExtension(rewritten);
    }
    return rewritten;
}

}  // namespace modroute
