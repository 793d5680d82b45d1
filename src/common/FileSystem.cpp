#include "common/FileSystem.h"

#include <windows.h>

#include <new>

#include "common/PathText.h"
#include "common/SystemScope.h"
#include "common/TextEncoding.h"

namespace modroute {
namespace {

DWORD AttributesOf(std::string_view utf8Path) {
    if (utf8Path.empty()) return INVALID_FILE_ATTRIBUTES;
    const std::wstring wide = Utf8ToWide(utf8Path);
    if (wide.empty()) return INVALID_FILE_ATTRIBUTES;
    return GetFileAttributesW(wide.c_str());
}

// Calls visit(data) for each entry matching the pattern (a UTF-8 path).
template <typename Visit>
void ForEachEntry(const std::string& utf8Pattern, Visit visit) {
    const std::wstring pattern = Utf8ToWide(utf8Pattern);
    if (pattern.empty()) return;
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW(pattern.c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        visit(data);
    } while (FindNextFileW(search, &data));
    FindClose(search);
}

bool IsDotEntry(const wchar_t* name) { return wcscmp(name, L".") == 0 || wcscmp(name, L"..") == 0; }

}  // namespace

bool FileExists(std::string_view utf8Path) {
    const SystemScope scope;
    const DWORD attributes = AttributesOf(utf8Path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool DirectoryExists(std::string_view utf8Path) {
    const SystemScope scope;
    const DWORD attributes = AttributesOf(utf8Path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool CopyToNewPlace(std::string_view utf8From, std::string_view utf8To) {
    const SystemScope scope;
    const std::wstring to = Utf8ToWide(utf8To);
    const std::wstring from = Utf8ToWide(utf8From);
    if (to.empty() || from.empty()) return false;
    for (std::size_t separator = to.find(L'\\', 3); separator != std::wstring::npos; separator = to.find(L'\\', separator + 1)) {
        CreateDirectoryW(to.substr(0, separator).c_str(), nullptr);  // an existing folder only fails
    }
    return CopyFileW(from.c_str(), to.c_str(), TRUE) != FALSE;
}

std::vector<std::string> ListFiles(std::string_view utf8Folder, std::string_view extension) {
    const SystemScope scope;
    std::vector<std::string> names;
    if (!DirectoryExists(utf8Folder)) return names;
    std::string pattern(utf8Folder);
    if (extension.empty()) {
        pattern += "\\*";
    } else if (extension.front() == '.') {
        pattern += "\\*";
        pattern += extension;
    } else {
        pattern += "\\*.";
        pattern += extension;
    }
    ForEachEntry(pattern, [&](const WIN32_FIND_DATAW& data) {
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) names.push_back(WideToUtf8(data.cFileName));
    });
    return names;
}

std::vector<std::string> ListFolders(std::string_view utf8Folder) {
    const SystemScope scope;
    std::vector<std::string> names;
    ForEachEntry(PathJoin(utf8Folder, "*"), [&](const WIN32_FIND_DATAW& data) {
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && !IsDotEntry(data.cFileName)) {
            names.push_back(WideToUtf8(data.cFileName));
        }
    });
    return names;
}

bool HasEntryMatching(std::string_view utf8Folder, std::string_view pattern) {
    const SystemScope scope;
    const std::wstring wide = Utf8ToWide(PathJoin(utf8Folder, pattern));
    if (wide.empty()) return false;
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW(wide.c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    return true;
}

std::optional<std::uint64_t> FileSizeOf(std::string_view utf8Path) {
    const SystemScope scope;
    const std::wstring wide = Utf8ToWide(utf8Path);
    if (wide.empty()) return std::nullopt;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return std::nullopt;
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::uint64_t GetFileTime(std::string_view utf8Path) {
    const SystemScope scope;
    const std::wstring wide = Utf8ToWide(utf8Path);
    if (wide.empty()) return 0;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data)) return 0;
    const std::uint64_t fileTime =
        (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
    return FileTimeToUnixSeconds(fileTime);
}

std::optional<std::string> ReadWholeFile(std::string_view utf8Path, std::uint64_t maxBytes) {
    const SystemScope scope;
    const std::wstring wide = Utf8ToWide(utf8Path);
    if (wide.empty()) return std::nullopt;
    // The manager program may hold the file open for writing.
    HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    std::optional<std::string> result;
    LARGE_INTEGER size = {};
    if (GetFileSizeEx(file, &size) && static_cast<std::uint64_t>(size.QuadPart) <= maxBytes) try {
        std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
        std::size_t done = 0;
        bool ok = true;
        while (done < bytes.size()) {
            DWORD read = 0;
            if (!ReadFile(file, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &read, nullptr)) {
                ok = false;
                break;
            }
            if (read == 0) break;  // the file shrank while being read
            done += read;
        }
        if (ok) {
            bytes.resize(done);
            result = std::move(bytes);
        }
    } catch (const std::bad_alloc&) {
        // Too large for this process: unreadable rather than fatal.
    }
    CloseHandle(file);
    return result;
}

}  // namespace modroute
