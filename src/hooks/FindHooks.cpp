// Directory searches list what the game would find had the mod's, base's and
// packed files been copied over the game folder: the folder's own entries,
// then those of the same folder in the mod, in base and in the packs, each
// name once, every file with the data of what an open of it serves. Folders
// below are entries, never searched into. A relative pattern names a folder
// below the current one. A search whose folder only the disk holds is the
// system's, after the AutoRes rewrite of a map id folder in its pattern.
#include <algorithm>
#include <memory>
#include <vector>

#include "common/FileSystem.h"
#include "common/HookCall.h"
#include "common/PathText.h"
#include "common/TextEncoding.h"
#include "hooks/FileHooks.h"
#include "hooks/RealFunctions.h"
#include "hooks/ServedFiles.h"
#include "redirect/ModRouter.h"
#include "redirect/PathRules.h"
#include "vfs/VirtualFileFinder.h"
#include "vfs/VirtualFileSystem.h"
#include "vfs/Wildcard.h"

namespace modroute {
namespace {

using Entries = std::vector<WIN32_FIND_DATAW>;

bool IsDot(const wchar_t* name) { return wcscmp(name, L".") == 0 || wcscmp(name, L"..") == 0; }

// The order of an NTFS folder: "." and ".." first, then by name without regard to case.
bool ListedBefore(const WIN32_FIND_DATAW& a, const WIN32_FIND_DATAW& b) {
    const bool aDot = IsDot(a.cFileName), bDot = IsDot(b.cFileName);
    if (aDot != bDot) return aDot;
    return CompareStringOrdinal(a.cFileName, -1, b.cFileName, -1, TRUE) == CSTR_LESS_THAN;
}

bool SameName(const wchar_t* a, const wchar_t* b) { return CompareStringOrdinal(a, -1, b, -1, TRUE) == CSTR_EQUAL; }

void AddSystemEntries(const std::wstring& pattern, Entries& entries) {
    WIN32_FIND_DATAW data;
    HANDLE search = RealFunctions.FindFirstFileW(pattern.c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        entries.push_back(data);
    } while (RealFunctions.FindNextFileW(search, &data));
    RealFunctions.FindClose(search);
}

void SetName(WIN32_FIND_DATAW& data, const std::wstring& name) {
    lstrcpynW(data.cFileName, name.c_str(), MAX_PATH);
    data.cAlternateFileName[0] = L'\0';
}

// The folder of a pattern relative to the game folder, as the current
// folder places it; nothing when it lies outside.
std::optional<std::string> GameRelativeFolder(const std::wstring& folder, const std::string& gameFolder) {
    wchar_t full[MAX_PATH];
    const DWORD length = GetFullPathNameW(folder.empty() ? L"." : folder.c_str(), MAX_PATH, full, nullptr);
    if (length == 0 || length >= MAX_PATH) return std::nullopt;
    const std::string path = WideToUtf8(full);
    if (gameFolder.empty() || path.size() < gameFolder.size() ||
        !EqualsIgnoringAsciiCase(std::string_view(path).substr(0, gameFolder.size()), gameFolder)) {
        return std::nullopt;
    }
    if (path.size() > gameFolder.size() && !IsSeparator(path[gameFolder.size()])) return std::nullopt;
    std::string relative = CleanPath(std::string_view(path).substr(gameFolder.size()));
    while (!relative.empty() && relative.back() == '\\') relative.pop_back();
    if (!relative.empty() && relative.front() == '\\') relative.erase(0, 1);
    return relative;
}

// The merged entries of a search whose folder the mod, base or a pack holds
// too; nothing when only the disk holds it.
std::optional<Entries> MergedSearch(const RouteContext& context, const std::string& utf8Pattern) {
    const std::size_t separator = FindLastSeparator(utf8Pattern);
    const std::string folder = separator == std::string::npos ? std::string() : utf8Pattern.substr(0, separator + 1);
    const std::string namePattern = separator == std::string::npos ? utf8Pattern : utf8Pattern.substr(separator + 1);
    if (IsAbsolutePath(utf8Pattern) || namePattern.empty()) return std::nullopt;
    const std::optional<std::string> relative = GameRelativeFolder(Utf8ToWide(folder), context.gameFolder);
    if (!relative) return std::nullopt;

    std::vector<std::string> others;  // the same folder in the mod and base
    for (const SearchPath& searchPath : context.searchPaths) {
        if (searchPath.path == context.gameFolder) continue;
        const std::string other = relative->empty() ? searchPath.path : PathJoin(searchPath.path, *relative);
        if (DirectoryExists(other)) others.push_back(other);
    }
    const std::vector<VirtualDirectoryTree::Listed> inPacks = VirtualFileSystem::Instance().List(*relative);
    const bool packed = !inPacks.empty();
    if (others.empty() && !packed) return std::nullopt;

    Entries entries;
    AddSystemEntries(Utf8ToWide(utf8Pattern), entries);
    for (const std::string& other : others) AddSystemEntries(Utf8ToWide(other + "\\" + namePattern), entries);
    if (packed) {
        for (const VirtualDirectoryTree::Listed& listed : inPacks) {
            const std::string name = GetFileName(listed.path);
            if (!WildcardMatch(name, namePattern)) continue;
            WIN32_FIND_DATAW data = {};
            data.dwFileAttributes = listed.isDirectory ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
            SetName(data, Utf8ToWide(name));
            entries.push_back(data);
        }
        // A folder only a pack holds still has its two dot entries.
        if (namePattern == "*" || namePattern == "*.*") {
            for (const wchar_t* dot : {L".", L".."}) {
                WIN32_FIND_DATAW data = {};
                data.dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY;
                SetName(data, dot);
                entries.push_back(data);
            }
        }
    }
    // Each name once, the first found: the game folder's before the mod's,
    // base's and the packs'.
    std::stable_sort(entries.begin(), entries.end(), ListedBefore);
    entries.erase(std::unique(entries.begin(), entries.end(),
                              [](const auto& a, const auto& b) { return SameName(a.cFileName, b.cFileName); }),
                  entries.end());
    // A file is described as an open of its name serves it.
    for (WIN32_FIND_DATAW& data : entries) {
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
        const std::string path = relative->empty() ? WideToUtf8(data.cFileName) : *relative + "\\" + WideToUtf8(data.cFileName);
        if (const std::optional<WIN32_FILE_ATTRIBUTE_DATA> served = ServedFileData(path)) {
            data.dwFileAttributes = served->dwFileAttributes;
            data.ftCreationTime = served->ftCreationTime;
            data.ftLastAccessTime = served->ftLastAccessTime;
            data.ftLastWriteTime = served->ftLastWriteTime;
            data.nFileSizeHigh = served->nFileSizeHigh;
            data.nFileSizeLow = served->nFileSizeLow;
        }
    }
    return entries;
}

void ToAnsi(const WIN32_FIND_DATAW& wide, WIN32_FIND_DATAA& ansi) {
    ansi = WIN32_FIND_DATAA{};
    ansi.dwFileAttributes = wide.dwFileAttributes;
    ansi.ftCreationTime = wide.ftCreationTime;
    ansi.ftLastAccessTime = wide.ftLastAccessTime;
    ansi.ftLastWriteTime = wide.ftLastWriteTime;
    ansi.nFileSizeHigh = wide.nFileSizeHigh;
    ansi.nFileSizeLow = wide.nFileSizeLow;
    lstrcpynA(ansi.cFileName, WideToGbk(wide.cFileName).c_str(), sizeof ansi.cFileName);
    lstrcpynA(ansi.cAlternateFileName, WideToGbk(wide.cAlternateFileName).c_str(), sizeof ansi.cAlternateFileName);
}
void ToAnsi(const WIN32_FIND_DATAW& wide, WIN32_FIND_DATAW& same) { same = wide; }

std::optional<std::string> PatternOf(LPCSTR name) { return GbkToUtf8Exact(name); }
std::optional<std::string> PatternOf(LPCWSTR name) {
    std::string utf8 = WideToUtf8(name);
    if (utf8.empty()) return std::nullopt;
    return utf8;
}

// Every search: merged when the mod, base or a pack share its folder, else
// the system's. real(pattern) searches a pattern given in the caller's form,
// null for the caller's own.
template <typename Char, typename Data, typename Real>
HANDLE FindFirst(const Char* name, Data* data, Real real) {
    const HookCall call;
    std::string rewritten;
    try {
        if (const std::optional<std::string> pattern = PatternOf(name)) {
            const std::shared_ptr<const RouteContext> context = ModRouter::Instance().ContextFor(*pattern);
            std::string effective = *pattern;
            if (context->MapRewriteActive()) {
                const auto lookUp = [&context](std::string_view key) { return context->mapTable->Find(key); };
                if (std::optional<std::string> mapped = RewriteMapFolderInPattern(*pattern, lookUp)) effective = *mapped;
            }
            if (std::optional<Entries> merged = MergedSearch(*context, effective)) {
                if (merged->empty()) {
                    SetLastError(ERROR_FILE_NOT_FOUND);  // the folder is there, the name is not
                    return INVALID_HANDLE_VALUE;
                }
                WIN32_FIND_DATAW first = merged->front();
                merged->erase(merged->begin());
                HANDLE search = VirtualFindTable::Instance().Open(std::make_shared<VirtualFileFinder>(std::move(*merged)));
                if (search != INVALID_HANDLE_VALUE) {
                    ToAnsi(first, *data);
                    call.RestoreLastError();
                    return search;
                }
            }
            if (effective != *pattern) rewritten = std::move(effective);
        }
    } catch (...) {
        rewritten.clear();
    }
    call.RestoreLastError();
    return real(rewritten.empty() ? nullptr : &rewritten);
}

// A rewritten pattern searched through the wide function, which holds any name.
template <typename Data>
HANDLE RealWide(const std::string& utf8Pattern, Data* data) {
    WIN32_FIND_DATAW wide;
    HANDLE search = RealFunctions.FindFirstFileW(Utf8ToWide(utf8Pattern).c_str(), &wide);
    if (search != INVALID_HANDLE_VALUE) ToAnsi(wide, *data);
    return search;
}

template <typename Data, typename RealNext>
BOOL FindNext(HANDLE search, Data* data, RealNext realNext) {
    WIN32_FIND_DATAW next;
    const std::optional<bool> found = VirtualFindTable::Instance().FindNext(search, next);
    if (!found) return realNext(search, data);
    // The function's contract: the end of a search is told by this error.
    if (!*found) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    ToAnsi(next, *data);
    return TRUE;
}

// The search operations that FindFirstFileEx answers as the plain function does.
bool PlainSearch(FINDEX_INFO_LEVELS level, FINDEX_SEARCH_OPS op, LPVOID filter) {
    return (level == FindExInfoStandard || level == FindExInfoBasic) &&
           (op == FindExSearchNameMatch || op == FindExSearchLimitToDirectories) && filter == nullptr;
}

}  // namespace

HANDLE WINAPI HookedFindFirstFileA(LPCSTR name, LPWIN32_FIND_DATAA data) {
    if (name == nullptr || data == nullptr || MustPassThrough()) return RealFunctions.FindFirstFileA(name, data);
    return FindFirst(name, data, [&](const std::string* pattern) {
        return pattern == nullptr ? RealFunctions.FindFirstFileA(name, data) : RealWide(*pattern, data);
    });
}

HANDLE WINAPI HookedFindFirstFileW(LPCWSTR name, LPWIN32_FIND_DATAW data) {
    if (name == nullptr || data == nullptr || MustPassThrough()) return RealFunctions.FindFirstFileW(name, data);
    return FindFirst(name, data, [&](const std::string* pattern) {
        return RealFunctions.FindFirstFileW(pattern == nullptr ? name : Utf8ToWide(*pattern).c_str(), data);
    });
}

HANDLE WINAPI HookedFindFirstFileExA(LPCSTR name, FINDEX_INFO_LEVELS level, LPVOID data, FINDEX_SEARCH_OPS op,
                                     LPVOID filter, DWORD flags) {
    if (name == nullptr || data == nullptr || !PlainSearch(level, op, filter) || MustPassThrough()) {
        return RealFunctions.FindFirstFileExA(name, level, data, op, filter, flags);
    }
    auto* found = static_cast<WIN32_FIND_DATAA*>(data);
    return FindFirst(name, found, [&](const std::string* pattern) {
        return pattern == nullptr ? RealFunctions.FindFirstFileExA(name, level, data, op, filter, flags) : RealWide(*pattern, found);
    });
}

HANDLE WINAPI HookedFindFirstFileExW(LPCWSTR name, FINDEX_INFO_LEVELS level, LPVOID data, FINDEX_SEARCH_OPS op,
                                     LPVOID filter, DWORD flags) {
    if (name == nullptr || data == nullptr || !PlainSearch(level, op, filter) || MustPassThrough()) {
        return RealFunctions.FindFirstFileExW(name, level, data, op, filter, flags);
    }
    return FindFirst(name, static_cast<WIN32_FIND_DATAW*>(data), [&](const std::string* pattern) {
        return RealFunctions.FindFirstFileExW(pattern == nullptr ? name : Utf8ToWide(*pattern).c_str(), level, data, op,
                                              filter, flags);
    });
}

BOOL WINAPI HookedFindNextFileA(HANDLE search, LPWIN32_FIND_DATAA data) {
    if (data == nullptr) return RealFunctions.FindNextFileA(search, data);
    return FindNext(search, data, RealFunctions.FindNextFileA);
}

BOOL WINAPI HookedFindNextFileW(HANDLE search, LPWIN32_FIND_DATAW data) {
    if (data == nullptr) return RealFunctions.FindNextFileW(search, data);
    return FindNext(search, data, RealFunctions.FindNextFileW);
}

BOOL WINAPI HookedFindClose(HANDLE search) {
    if (VirtualFindTable::Instance().Close(search)) return TRUE;
    return RealFunctions.FindClose(search);
}

}  // namespace modroute
