// Directory searches: a search the virtual file system can answer gets a
// virtual find handle; any other goes to the system, after the AutoRes
// rewrite of a map id folder in its pattern.
#include <memory>

#include "common/HookCall.h"
#include "common/PathText.h"
#include "common/TextEncoding.h"
#include "hooks/FileHooks.h"
#include "hooks/RealFunctions.h"
#include "redirect/ModRouter.h"
#include "redirect/PathRules.h"
#include "vfs/VirtualFileFinder.h"
#include "vfs/VirtualFileSystem.h"

namespace modroute {
namespace {

void WideToAnsiFindData(const WIN32_FIND_DATAW& wide, WIN32_FIND_DATAA& ansi) {
    ansi = WIN32_FIND_DATAA{};
    ansi.dwFileAttributes = wide.dwFileAttributes;
    ansi.ftCreationTime = wide.ftCreationTime;
    ansi.ftLastAccessTime = wide.ftLastAccessTime;
    ansi.ftLastWriteTime = wide.ftLastWriteTime;
    ansi.nFileSizeHigh = wide.nFileSizeHigh;
    ansi.nFileSizeLow = wide.nFileSizeLow;
    const std::string name = WideToGbk(wide.cFileName);
    lstrcpynA(ansi.cFileName, name.c_str(), sizeof ansi.cFileName);
}

// The system's search for a rewritten pattern, through the wide function
// when code page 936 cannot hold the pattern.
HANDLE RealFindFirst(const std::string& utf8Pattern, WIN32_FIND_DATAA* data) {
    if (std::optional<std::string> gbk = Utf8ToGbkExact(utf8Pattern)) {
        return RealFunctions.FindFirstFileA(gbk->c_str(), data);
    }
    WIN32_FIND_DATAW wide;
    HANDLE search = FindFirstFileW(Utf8ToWide(utf8Pattern).c_str(), &wide);
    if (search != INVALID_HANDLE_VALUE) WideToAnsiFindData(wide, *data);
    return search;
}

}  // namespace

HANDLE WINAPI HookedFindFirstFileA(LPCSTR name, LPWIN32_FIND_DATAA data) {
    if (name == nullptr || data == nullptr || MustPassThrough()) return RealFunctions.FindFirstFileA(name, data);
    const HookCall call;
    std::string pattern;
    try {
        const std::optional<std::string> utf8 = GbkToUtf8Exact(name);
        if (!utf8) {
            call.RestoreLastError();
            return RealFunctions.FindFirstFileA(name, data);
        }
        pattern = *utf8;
        const std::shared_ptr<const RouteContext> context = ModRouter::Instance().ContextFor(*utf8);
        if (context->MapRewriteActive()) {
            const auto lookUp = [&context](std::string_view key) { return context->mapTable->Find(key); };
            if (std::optional<std::string> rewritten = RewriteMapFolderInPattern(*utf8, lookUp)) pattern = *rewritten;
        }
        VirtualFileSystem& files = VirtualFileSystem::Instance();
        auto finder = std::make_shared<VirtualFileFinder>(files, pattern);
        WIN32_FIND_DATAA first;
        if (finder->FindFirst(first)) {
            HANDLE search = VirtualFindTable::Instance().Open(std::move(finder));
            if (search != INVALID_HANDLE_VALUE) {
                *data = first;
                call.RestoreLastError();
                return search;
            }
        } else if (!CleanPath(pattern).empty() && files.IsVirtualDirectory(pattern)) {
            // The folder itself is the one result, as when the system finds a folder by its name.
            HANDLE search = VirtualFindTable::Instance().Open(std::make_shared<VirtualFileFinder>());
            if (search != INVALID_HANDLE_VALUE) {
                FillDirectoryEntry(pattern, *data);
                call.RestoreLastError();
                return search;
            }
        }
        if (pattern == *utf8) pattern.clear();  // unchanged: the caller's own bytes go to the system
    } catch (...) {
        pattern.clear();
    }
    call.RestoreLastError();
    if (pattern.empty()) return RealFunctions.FindFirstFileA(name, data);
    return RealFindFirst(pattern, data);
}

BOOL WINAPI HookedFindNextFileA(HANDLE search, LPWIN32_FIND_DATAA data) {
    if (data == nullptr) return RealFunctions.FindNextFileA(search, data);
    const std::optional<bool> found = VirtualFindTable::Instance().FindNext(search, *data);
    if (!found) return RealFunctions.FindNextFileA(search, data);
    // The function's contract: the end of a search is told by this error.
    if (!*found) SetLastError(ERROR_NO_MORE_FILES);
    return *found ? TRUE : FALSE;
}

BOOL WINAPI HookedFindClose(HANDLE search) {
    if (VirtualFindTable::Instance().Close(search)) return TRUE;
    return RealFunctions.FindClose(search);
}

}  // namespace modroute
