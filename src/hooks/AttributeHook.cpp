// The attribute query: a map-id file name (sn07.wp) is looked up under the
// map's own folder when AutoRes has mapped it, with the base folder and the
// mod's map folder as fallbacks for the map's own files. Everything else is
// the system's answer for the caller's own path.
#include "common/HookCall.h"
#include "common/MapId.h"
#include "common/PathText.h"
#include "common/TextEncoding.h"
#include "hooks/FileHooks.h"
#include "hooks/RealFunctions.h"
#include "redirect/ModRouter.h"
#include "vfs/VirtualFileHandles.h"

namespace modroute {
namespace {

DWORD AttributesOf(const std::string& utf8Path) {
    const std::wstring wide = Utf8ToWide(utf8Path);
    return wide.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(wide.c_str());
}

// The answer of the AutoRes rewrite for a request (UTF-8), or nothing when
// the request is not a mapped map-id name or the rewrite finds nothing.
std::optional<DWORD> MappedAttributes(const RouteContext& context, const std::string& request) {
    const std::string lower = ToLowerAscii(request);
    std::size_t separator = lower.rfind('\\');
    if (separator == std::string::npos) separator = lower.rfind('/');
    const std::size_t nameStart = separator == std::string::npos ? 0 : separator + 1;
    const std::string_view name = std::string_view(lower).substr(nameStart);
    if (ReadSnDigits(name).count < 2) return std::nullopt;
    const std::optional<std::string> directory = context.mapTable->Find(ToUpperAscii(name.substr(0, 4)));
    if (!directory) return std::nullopt;
    const std::string_view suffix = name.substr(4);
    if (suffix == ".pak") return std::nullopt;  // a map's pack is never rewritten
    // Files inside the base folder are the game's own, named as the game names them.
    if (!context.baseFolder.empty() && lower.find(ToLowerAscii(context.baseFolder) + "\\") != std::string::npos) {
        return std::nullopt;
    }

    const std::string rewritten = request.substr(0, nameStart) + *directory + request.substr(nameStart + 4);
    DWORD attributes = AttributesOf(rewritten);
    if (attributes != INVALID_FILE_ATTRIBUTES) return attributes;
    if (suffix == ".wp" || suffix == "_.pst") {
        // The map's own files may still sit in the base folder under their id.
        std::string relative = request;
        const std::string gameLower = ToLowerAscii(context.gameFolder);
        if (!gameLower.empty() && lower.rfind(gameLower, 0) == 0) {
            relative = request.substr(context.gameFolder.size());
            if (!relative.empty() && IsSeparator(relative.front())) relative.erase(0, 1);
        }
        if (!context.baseFolder.empty() && !relative.empty()) {
            attributes = AttributesOf(context.baseFolder + "\\" + relative);
            if (attributes != INVALID_FILE_ATTRIBUTES) return attributes;
        }
    }
    // The mapped folder itself, inside the selected mod.
    if (!context.modFolder.empty()) {
        attributes = AttributesOf(context.modFolder + "\\" + *directory);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            return FILE_ATTRIBUTE_DIRECTORY;
        }
    }
    return std::nullopt;
}

}  // namespace

DWORD WINAPI HookedGetFileAttributesA(LPCSTR name) {
    if (name == nullptr || MustPassThrough()) return RealFunctions.GetFileAttributesA(name);
    const HookCall call;
    try {
        if (const std::optional<std::string> request = GbkToUtf8Exact(name)) {
            const std::shared_ptr<const RouteContext> context = ModRouter::Instance().ContextFor(*request);
            if (context->MapRewriteActive()) {
                if (const std::optional<DWORD> attributes = MappedAttributes(*context, *request)) {
                    call.RestoreLastError();
                    return *attributes;
                }
            }
            // A packed file the game opened answers from its record, not from the disk.
            WIN32_FILE_ATTRIBUTE_DATA record;
            if (VirtualFileAttributeManager::Instance().GetAttributes(*request, record)) {
                call.RestoreLastError();
                return record.dwFileAttributes;
            }
        }
    } catch (...) {
        // The system's own answer for the caller's path follows.
    }
    call.RestoreLastError();
    return RealFunctions.GetFileAttributesA(name);
}

}  // namespace modroute
