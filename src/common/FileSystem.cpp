#include "common/FileSystem.h"

#include <windows.h>

#include "common/TextEncoding.h"

namespace modroute {
namespace {

constexpr DWORD kInvalidAttributes = INVALID_FILE_ATTRIBUTES;

bool IsDirectoryAt(const std::string& ansiPath) {
    if (ansiPath.empty()) return false;
    const DWORD attributes = GetFileAttributesA(ansiPath.c_str());
    return attributes != kInvalidAttributes && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

bool FileExists(std::string_view utf8Path) {
    const std::string ansi = Utf8ToAnsi(utf8Path);
    if (ansi.empty()) return false;
    const DWORD attributes = GetFileAttributesA(ansi.c_str());
    return attributes != kInvalidAttributes && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool DirectoryExists(std::string_view path) {
    return IsDirectoryAt(std::string(path)) || IsDirectoryAt(Utf8ToAnsi(path));
}

std::vector<std::string> ListFiles(std::string_view folder, std::string_view extension) {
    std::vector<std::string> names;
    const std::string unchanged(folder);
    const std::string converted = Utf8ToAnsi(folder);
    std::string base;
    if (IsDirectoryAt(unchanged)) {
        base = unchanged;
    } else if (IsDirectoryAt(converted)) {
        // Found only in its code page 936 form: enumerate that form too, or the
        // pattern would name a folder that does not exist.
        base = converted;
    } else {
        return names;
    }
    std::string pattern = base;
    if (extension.empty()) {
        pattern += "\\*";
    } else if (extension.front() == '.') {
        pattern += "\\*";
        pattern += extension;
    } else {
        pattern += "\\*.";
        pattern += extension;
    }
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA(pattern.c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) names.emplace_back(data.cFileName);
    } while (FindNextFileA(search, &data));
    FindClose(search);
    return names;
}

std::uint64_t GetFileTime(std::string_view utf8Path) {
    const std::wstring wide = Utf8ToWide(utf8Path);
    if (wide.empty()) return 0;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data)) return 0;
    const std::uint64_t fileTime =
        (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
    return FileTimeToUnixSeconds(fileTime);
}

}  // namespace modroute
