// Attribute queries answer what an open of the same name would serve: the
// mod's, base's or game folder's file, a packed file (with the pack's own
// attributes and times and the file's size), and the folders that only the
// mod, base or a pack hold. What nothing serves is the system's answer for
// the caller's own path, after the AutoRes rewrite of a map id (a map's
// folder named by its id is the mod's folder mapped to it).
#include "common/HookCall.h"
#include "common/MapId.h"
#include "common/PathText.h"
#include "common/TextEncoding.h"
#include "hooks/FileHooks.h"
#include "hooks/RealFunctions.h"
#include "hooks/ServedFiles.h"
#include "redirect/ModRouter.h"
#include "vfs/VirtualFileSystem.h"

namespace modroute {
namespace {

using AttributeData = WIN32_FILE_ATTRIBUTE_DATA;

std::optional<AttributeData> DataOf(const std::string& utf8Path) {
    const std::wstring wide = Utf8ToWide(utf8Path);
    AttributeData data;
    if (wide.empty() || !GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
    return data;
}

std::optional<AttributeData> FolderDataOf(const std::string& utf8Path) {
    std::optional<AttributeData> data = DataOf(utf8Path);
    if (data && (data->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return std::nullopt;
    return data;
}

// A packed file looks like its pack: the same attributes and times.
std::optional<AttributeData> PackedData(const RouteContext& context, const std::string& path) {
    const VirtualFileSystem& files = VirtualFileSystem::Instance();
    const std::optional<std::uint32_t> size = files.SizeOf(path);
    if (!size) return std::nullopt;
    const std::optional<std::string> pack = files.PackOf(path);
    std::optional<AttributeData> data = pack ? DataOf(*pack) : std::nullopt;
    if (!data) data = DataOf(context.gameFolder);  // a pack gone from the disk: its data is still served
    if (!data) data = AttributeData{};
    data->dwFileAttributes &= ~static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY);
    if (data->dwFileAttributes == 0) data->dwFileAttributes = FILE_ATTRIBUTE_NORMAL;
    data->nFileSizeHigh = 0;
    data->nFileSizeLow = *size;
    return data;
}

// A folder that the game folder lacks but a pack, the mod or base holds.
std::optional<AttributeData> ServedFolder(const RouteContext& context, const std::string& clean) {
    if (clean.empty() || clean == "..") return std::nullopt;
    for (const SearchPath& searchPath : context.searchPaths) {
        if (searchPath.path == context.gameFolder) continue;
        if (std::optional<AttributeData> data = FolderDataOf(PathJoin(searchPath.path, clean))) return data;
    }
    if (!VirtualFileSystem::Instance().IsVirtualDirectory(clean)) return std::nullopt;
    std::optional<AttributeData> data = FolderDataOf(context.gameFolder);
    if (!data) data = AttributeData{};
    data->dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY;
    return data;
}

// The answer of the AutoRes rewrite for a request (UTF-8), or nothing when
// the request is not a mapped map-id name or the rewrite finds nothing.
std::optional<AttributeData> MappedAttributes(const RouteContext& context, const std::string& request) {
    const std::string lower = ToLowerAscii(request);
    std::size_t separator = lower.rfind('\\');
    if (separator == std::string::npos) separator = lower.rfind('/');
    const std::size_t nameStart = separator == std::string::npos ? 0 : separator + 1;
    const std::string_view name = std::string_view(lower).substr(nameStart);
    const std::optional<MapId> id = ReadMapId(name);
    if (!id) return std::nullopt;
    const std::optional<std::string> directory = context.mapTable->Find(ToUpperAscii(name.substr(0, id->length)));
    if (!directory) return std::nullopt;
    const std::string_view suffix = name.substr(id->length);
    if (suffix == ".pak") return std::nullopt;  // a map's pack is never rewritten
    // Files inside the base folder are the game's own, named as the game names them.
    if (!context.baseFolder.empty() && lower.find(ToLowerAscii(context.baseFolder) + "\\") != std::string::npos) {
        return std::nullopt;
    }

    const std::string rewritten = request.substr(0, nameStart) + *directory + request.substr(nameStart + id->length);
    if (std::optional<AttributeData> data = DataOf(rewritten)) return data;
    if (suffix == ".wp" || suffix == "_.pst") {
        // The map's own files may still sit in the base folder under their id.
        std::string relative = request;
        const std::string gameLower = ToLowerAscii(context.gameFolder);
        if (!gameLower.empty() && lower.rfind(gameLower, 0) == 0) {
            relative = request.substr(context.gameFolder.size());
            if (!relative.empty() && IsSeparator(relative.front())) relative.erase(0, 1);
        }
        if (!context.baseFolder.empty() && !relative.empty()) {
            if (std::optional<AttributeData> data = DataOf(context.baseFolder + "\\" + relative)) return data;
        }
    }
    // The map id itself names the mapped folder inside the selected mod; a
    // file named after the id is no folder, whatever the mod holds.
    if (!context.modFolder.empty() && suffix.empty()) {
        if (std::optional<AttributeData> data = FolderDataOf(context.modFolder + "\\" + *directory)) {
            data->dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY;
            return data;
        }
    }
    return std::nullopt;
}

// The data of the file an answer serves, when it serves one from elsewhere.
std::optional<AttributeData> ServedData(const RouteContext& context, const Resolution& answer) {
    if (answer.from == ServedFrom::Virtual) return PackedData(context, answer.path);
    if (answer.Redirects()) return DataOf(answer.path);
    return std::nullopt;
}

std::optional<std::string> RequestOf(LPCSTR name) { return GbkToUtf8Exact(name); }
std::optional<std::string> RequestOf(LPCWSTR name) {
    std::string utf8 = WideToUtf8(name);
    if (utf8.empty()) return std::nullopt;
    return utf8;
}

std::shared_ptr<const Resolution> Resolve(LPCSTR name, const std::string&) { return ModRouter::Instance().Resolve(name); }
std::shared_ptr<const Resolution> Resolve(LPCWSTR, const std::string& utf8) { return ModRouter::Instance().ResolveUtf8(utf8); }

// Answers a query; real(data) asks the system for the caller's own path.
template <typename Char, typename Real>
BOOL QueryAttributes(const Char* name, AttributeData& out, Real real) {
    const HookCall call;
    std::shared_ptr<const Resolution> answer;
    std::shared_ptr<const RouteContext> context;
    try {
        if (const std::optional<std::string> request = RequestOf(name)) {
            context = ModRouter::Instance().ContextFor(*request);
            answer = Resolve(name, *request);
            std::optional<AttributeData> served = ServedData(*context, *answer);
            if (!served && answer->from != ServedFrom::Virtual && context->MapRewriteActive()) {
                served = MappedAttributes(*context, *request);
            }
            if (served) {
                out = *served;
                call.RestoreLastError();
                return TRUE;
            }
        }
    } catch (...) {
        answer.reset();  // the system's own answer follows
    }
    call.RestoreLastError();
    if (real(out)) return TRUE;
    if (!answer || answer->from != ServedFrom::Nowhere) return FALSE;
    const DWORD error = GetLastError();
    try {
        if (std::optional<AttributeData> folder = ServedFolder(*context, answer->path)) {
            out = *folder;
            call.RestoreLastError();
            return TRUE;
        }
    } catch (...) {
        // Not found, as the system said.
    }
    SetLastError(MissingFileError(answer.get(), error));
    return FALSE;
}

template <typename Char, typename Real>
DWORD Attributes(const Char* name, Real real) {
    AttributeData data;
    const auto system = [&](AttributeData& out) {
        out.dwFileAttributes = real(name);
        return out.dwFileAttributes != INVALID_FILE_ATTRIBUTES;
    };
    return QueryAttributes(name, data, system) ? data.dwFileAttributes : INVALID_FILE_ATTRIBUTES;
}

template <typename Char, typename Real>
BOOL AttributesEx(const Char* name, GET_FILEEX_INFO_LEVELS level, LPVOID information, Real real) {
    return QueryAttributes(name, *static_cast<AttributeData*>(information),
                           [&](AttributeData&) { return real(name, level, information); });
}

}  // namespace

std::optional<OpenedFileData> DataOfOpenedFile(const std::string& utf8Path) {
    if (std::optional<std::string> pack = VirtualFileSystem::Instance().PackOf(utf8Path)) {
        std::optional<AttributeData> data = PackedData(*ModRouter::Instance().ContextFor(utf8Path), utf8Path);
        if (data) return OpenedFileData{*data, *pack};
    }
    if (std::optional<AttributeData> data = DataOf(utf8Path)) return OpenedFileData{*data, utf8Path};
    return std::nullopt;
}

DWORD MissingFileError(const Resolution* answer, DWORD error) {
    if (error != ERROR_PATH_NOT_FOUND || answer == nullptr || answer->rule != ResolutionRule::NotFound) return error;
    const std::size_t separator = answer->path.rfind('\\');  // UTF-8: no other character holds the byte
    if (separator == std::string::npos) return error;
    try {
        const std::shared_ptr<const RouteContext> context = ModRouter::Instance().Context();
        return ServedFolder(*context, answer->path.substr(0, separator)) ? ERROR_FILE_NOT_FOUND : error;
    } catch (...) {
        return error;
    }
}

std::optional<WIN32_FILE_ATTRIBUTE_DATA> ServedFileData(const std::string& utf8Path) {
    ModRouter& router = ModRouter::Instance();
    const std::shared_ptr<const RouteContext> context = router.ContextFor(utf8Path);
    return ServedData(*context, *router.ResolveGameRelativeUtf8(utf8Path));
}

DWORD WINAPI HookedGetFileAttributesA(LPCSTR name) {
    if (name == nullptr || MustPassThrough()) return RealFunctions.GetFileAttributesA(name);
    return Attributes(name, RealFunctions.GetFileAttributesA);
}

DWORD WINAPI HookedGetFileAttributesW(LPCWSTR name) {
    if (name == nullptr || MustPassThrough()) return RealFunctions.GetFileAttributesW(name);
    return Attributes(name, RealFunctions.GetFileAttributesW);
}

BOOL WINAPI HookedGetFileAttributesExA(LPCSTR name, GET_FILEEX_INFO_LEVELS level, LPVOID information) {
    if (name == nullptr || information == nullptr || level != GetFileExInfoStandard || MustPassThrough()) {
        return RealFunctions.GetFileAttributesExA(name, level, information);
    }
    return AttributesEx(name, level, information, RealFunctions.GetFileAttributesExA);
}

BOOL WINAPI HookedGetFileAttributesExW(LPCWSTR name, GET_FILEEX_INFO_LEVELS level, LPVOID information) {
    if (name == nullptr || information == nullptr || level != GetFileExInfoStandard || MustPassThrough()) {
        return RealFunctions.GetFileAttributesExW(name, level, information);
    }
    return AttributesEx(name, level, information, RealFunctions.GetFileAttributesExW);
}

}  // namespace modroute
