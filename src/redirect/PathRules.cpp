#include "redirect/PathRules.h"

#include "common/MapId.h"
#include "common/PathText.h"
#include "resources/GameNames.h"

namespace modroute {

std::size_t NormalizePathInto(std::string_view path, char* out) {
    // The prefix rules look at the path with its slashes already turned.
    auto at = [&path](std::size_t i) { return path[i] == '/' ? '\\' : path[i]; };
    std::size_t start = 0;
    if (path.size() >= 2 && at(0) == '.' && at(1) == '\\') start = 2;
    if (start < path.size() && at(start) == '\\') ++start;
    if (path.size() - start > 2 && at(start) == '.' && at(start + 1) == '.' && at(start + 2) != '\\') start += 2;
    std::size_t length = 0;
    // Where the component being copied starts in out.
    std::size_t component = 0;
    // Ends the component out[component, length): "." goes, ".." takes the
    // one before it (a leading ".." stays: it leaves the game folder), as
    // the system reads every spelling of a path. True when it went.
    const auto endComponent = [&] {
        const std::string_view part(out + component, length - component);
        if (part == ".") {
            length = component;
        } else if (part == ".." && component > 0) {
            const std::size_t previous = std::string_view(out, component - 1).rfind('\\');
            const std::size_t previousStart = previous == std::string_view::npos ? 0 : previous + 1;
            if (std::string_view(out + previousStart, component - 1 - previousStart) == "..") return false;
            length = previousStart;
        } else {
            return false;
        }
        return true;
    };
    for (std::size_t i = start; i < path.size(); ++i) {
        const char c = at(i);
        if (c != '\\') {
            out[length++] = c;
            continue;
        }
        // Doubled separators collapse, and a relative path starts with no root.
        if (length == 0 || out[length - 1] == '\\') continue;
        if (!endComponent()) {
            // A folder's name loses a single trailing dot, as the system
            // reads it (more dots name no folder the system can reach).
            const std::string_view part(out + component, length - component);
            if (part.size() >= 2 && part.back() == '.' && part[part.size() - 2] != '.') --length;
            out[length++] = c;
        }
        component = length;
    }
    // A file's name ends before trailing dots and spaces, as the system reads
    // it; "a\." names a itself, whose name then ends so too.
    const auto last = [&] { return std::string_view(out + component, length - component); };
    while (true) {
        while (length > component && (out[length - 1] == '.' || out[length - 1] == ' ') && last() != "." && last() != "..") {
            --length;
        }
        if (length == component || !endComponent() || length == 0) break;
        --length;
        const std::size_t previous = std::string_view(out, length).rfind('\\');
        component = previous == std::string_view::npos ? 0 : previous + 1;
    }
    return length;
}

std::string NormalizePath(std::string_view path) {
    std::string result(path.size(), '\0');
    result.resize(NormalizePathInto(path, result.data()));
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
    return ContainsIgnoringCase(path, ".wp") || ContainsIgnoringCase(path, "_.pst");
}

bool IsRenderJson(std::string_view utf8Path) { return ContainsIgnoringCase(utf8Path, "render.json"); }

OpenIntent IntentOfAccess(std::uint32_t access, std::uint32_t disposition) {
    // FILE_WRITE_DATA, FILE_APPEND_DATA, FILE_WRITE_EA, FILE_DELETE_CHILD,
    // FILE_WRITE_ATTRIBUTES, DELETE, WRITE_DAC, WRITE_OWNER, MAXIMUM_ALLOWED,
    // GENERIC_ALL and GENERIC_WRITE.
    constexpr std::uint32_t kWriting = 0x2 | 0x4 | 0x10 | 0x40 | 0x100 | 0x10000 | 0x40000 | 0x80000 | 0x02000000 |
                                       0x10000000 | 0x40000000;
    constexpr std::uint32_t kCreateNew = 1, kCreateAlways = 2, kOpenExisting = 3, kOpenAlways = 4;
    if (disposition == kCreateNew || disposition == kCreateAlways) return OpenIntent::Replace;
    if ((access & kWriting) == 0 && (disposition == kOpenExisting || disposition == kOpenAlways)) {
        return OpenIntent::Read;
    }
    return OpenIntent::Update;  // TRUNCATE_EXISTING too: it needs the file to be there
}

OpenIntent IntentOfMode(std::string_view mode) {
    if (mode.empty() || mode[0] == 'w' || mode.find('x') != std::string_view::npos) return OpenIntent::Replace;
    if (mode[0] == 'r' && mode.find('+') == std::string_view::npos) return OpenIntent::Read;
    // "r+", "a", "a+" keep what is there; a mode the library rejects creates nothing.
    return mode[0] == 'r' || mode[0] == 'a' ? OpenIntent::Update : OpenIntent::Replace;
}

OpenIntent IntentOfFlags(int flags) {
    constexpr int kWriteOnly = 0x1, kReadWrite = 0x2, kAppend = 0x8, kCreate = 0x100, kTruncate = 0x200, kExclusive = 0x400;
    if ((flags & (kTruncate | kExclusive)) != 0) return OpenIntent::Replace;
    if ((flags & (kWriteOnly | kReadWrite | kAppend | kCreate)) != 0) return OpenIntent::Update;
    return OpenIntent::Read;
}

bool IsScriptFile(std::wstring_view request) {
    const std::size_t length = request.size();
    return length >= 3 && request[length - 3] == L'.' && (request[length - 2] | 0x20) == L'a' &&
           (request[length - 1] | 0x20) == L's';
}

bool IsReadWhole(std::string_view utf8Path) { return ContainsIgnoringCase(utf8Path, ".jpg"); }

std::size_t FindMapId(std::string_view path) {
    for (std::size_t at = 0; at + 4 <= path.size(); ++at) {
        if (ReadMapId(path.substr(at))) return at;
    }
    return std::string_view::npos;
}

std::string MapIdKeyAt(std::string_view path, std::size_t position) {
    const std::optional<MapId> id = ReadMapId(path.substr(position));
    return id ? ToUpperAscii(path.substr(position, id->length)) : std::string();
}

std::optional<std::string> RewriteMapPath(const std::string& clean, const MapDirectoryLookup& lookup) {
    const std::size_t position = FindMapId(clean);
    if (position == std::string::npos) return std::nullopt;
    const std::string key = MapIdKeyAt(clean, position);
    const std::optional<std::string> directory = lookup(key);
    if (!directory) return std::nullopt;
    const std::string rest = clean.substr(position + key.size());
    const bool namesThePack = ToUpperAscii(GetFileName(clean)) == key + ".PAK";
    const bool namesAFolder = rest.size() >= 2 && rest[0] == '\\';
    if (!namesThePack && !namesAFolder) return std::nullopt;

    std::string rewritten = clean.substr(0, position) + *directory + rest;
    const std::size_t separator = FindLastSeparator(rewritten);
    if (separator != std::string::npos && ToUpperAscii(GetStem(rewritten)) == key) {
        // The file's own extension: a dot in a folder name is none.
        const std::string extension = GetExtension(std::string_view(rewritten).substr(separator + 1));
        rewritten = rewritten.substr(0, separator + 1) + *directory + extension;
    }
    return rewritten;
}

std::optional<std::string> MapFileCandidate(const std::string& clean, const MapDirectoryLookup& lookup) {
    const std::size_t separator = FindLastSeparator(clean);
    const std::size_t nameStart = separator == std::string::npos ? 0 : separator + 1;
    const std::optional<MapId> id = ReadMapId(std::string_view(clean).substr(nameStart));
    if (!id || nameStart + id->length >= clean.size()) return std::nullopt;
    const char after = clean[nameStart + id->length];
    if (after != '.' && after != '_') return std::nullopt;
    const std::optional<std::string> directory = lookup(MapIdKeyAt(clean, nameStart));
    if (!directory) return std::nullopt;
    return clean.substr(0, nameStart) + *directory + clean.substr(nameStart + id->length);
}

std::optional<std::string> RewriteMapFolderInPattern(const std::string& pattern, const MapDirectoryLookup& lookup) {
    // Segments from the last one back: the last whole-id folder is the map's.
    std::size_t end = pattern.size();
    while (end > 0) {
        std::size_t start = end;
        while (start > 0 && !IsSeparator(pattern[start - 1])) --start;
        const std::optional<MapId> id = ReadMapId(std::string_view(pattern).substr(start, end - start));
        if (id && id->length == end - start) {
            const std::optional<std::string> directory = lookup(MapIdKeyAt(pattern, start));
            if (!directory) return std::nullopt;
            return pattern.substr(0, start) + *directory + pattern.substr(end);
        }
        if (start == 0) break;
        end = start - 1;
    }
    return std::nullopt;
}

}  // namespace modroute
