#include "redirect/ModRouter.h"

#include <windows.h>

#include <mutex>
#include <shared_mutex>
#include <unordered_set>

#include "common/FileSystem.h"
#include "common/PathText.h"
#include "common/TextEncoding.h"
#include "config/ConfigManager.h"
#include "redirect/PathRules.h"
#include "resources/ResourceCategories.h"

namespace modroute {
namespace {

bool IsModSelected(const std::string& mod) { return !mod.empty() && mod != "base"; }

std::string ModFolderOf(const std::string& gameFolder, const std::string& mod) {
    return PathJoin(PathJoin(gameFolder, "mods"), mod);
}

bool IsAscii(std::string_view text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
}

// ASCII is the same in code page 936 and UTF-8: most game paths skip the
// round trip through UTF-16.
std::string GameTextToUtf8(std::string_view ansi) { return IsAscii(ansi) ? std::string(ansi) : AnsiToUtf8(ansi); }
std::string Utf8ToGameText(std::string_view utf8) { return IsAscii(utf8) ? std::string(utf8) : Utf8ToAnsi(utf8); }

bool IsAbsolute(std::string_view path) {
    return path.size() > 1 && (path[1] == ':' || (path[0] == '\\' && path[1] == '\\'));
}

// A join whose result holds a second drive colon names no real file.
bool HasSecondColon(const std::string& path) {
    const std::size_t first = path.find(':');
    return first != std::string::npos && path.find(':', first + 1) != std::string::npos;
}

std::optional<std::string> LookUpMapDirectory(const std::string& key) {
    const SnDirectoryMap& map = ConfigManager::Instance().GetSnDirectoryMap();
    std::optional<std::string> directory = map.Find(key);
    if (directory) *directory = GameTextToUtf8(*directory);
    return directory;
}

bool MapRewriteActive() {
    const ConfigManager& config = ConfigManager::Instance();
    return config.Settings().AutoResEnabled && !config.GetSnDirectoryMap().Empty();
}

}  // namespace

ModRouter& ModRouter::Instance() {
    static ModRouter router;
    return router;
}

ModRouter::ModRouter() : m_searchPaths(std::make_shared<const SearchPathList>()) {}

void ModRouter::PublishSearchPaths(SearchPathList paths) {
    m_searchPaths.store(std::make_shared<const SearchPathList>(std::move(paths)), std::memory_order_release);
}

std::shared_ptr<const SearchPathList> ModRouter::CurrentSearchPaths() const {
    return m_searchPaths.load(std::memory_order_acquire);
}

SearchPathList ModRouter::GetSearchPaths() const { return *CurrentSearchPaths(); }

bool ModRouter::InitializeEarly() { return BuildEarlySearchPaths(); }

bool ModRouter::Initialize() { return BuildSearchPaths(); }

bool ModRouter::BuildEarlySearchPaths() {
    const ConfigManager& config = ConfigManager::Instance();
    PublishSearchPaths({{config.GetBaseFolder().utf8}, {config.GetGameFolderUtf8()}});
    return true;
}

bool ModRouter::BuildSearchPaths() {
    const ConfigManager& config = ConfigManager::Instance();
    const std::string gameFolder = config.GetGameFolderUtf8();
    const std::string mod = config.GetSelectedMod();
    SearchPathList paths;
    if (IsModSelected(mod)) {
        std::string modFolder = ModFolderOf(gameFolder, mod);
        if (DirectoryExists(Utf8ToAnsi(modFolder))) paths.push_back({std::move(modFolder)});
    }
    paths.push_back({config.GetBaseFolder().utf8});
    paths.push_back({gameFolder});

    SearchPathList unique;
    std::unordered_set<std::string> seen;
    for (SearchPath& entry : paths) {
        if (seen.insert(entry.path).second) unique.push_back(std::move(entry));
    }
    PublishSearchPaths(std::move(unique));
    return true;
}

bool ModRouter::ProbeFile(const std::string& utf8Path) const {
    m_probes.fetch_add(1, std::memory_order_relaxed);
    return FileExists(utf8Path);
}

bool ModRouter::ShouldRedirect(std::string_view path) const {
    const std::string normal = NormalizePath(path);
    if (normal.empty() || normal == ".." || normal == ".") return false;
    const ConfigManager& config = ConfigManager::Instance();
    const std::string gameFolder = config.GetGameFolderUtf8();
    if (ProbeFile(PathJoin(gameFolder, normal))) return false;
    if (IsRootFile(normal)) return false;
    const std::string mod = config.GetSelectedMod();
    if (IsModSelected(mod)) {
        return ProbeFile(PathJoin(ModFolderOf(gameFolder, mod), normal)) ||
               ProbeFile(PathJoin(config.GetBaseFolder().utf8, normal));
    }
    return IsBaseResourceFolder(normal);
}

void ModRouter::StoreResolved(std::string_view clean, const std::string& ansiResult) {
    std::unique_lock lock(m_resolveLock);
    m_resolveCache.emplace(std::string(clean), ansiResult);
}

std::string ModRouter::ResolveFilePath(std::string_view ansiPath) {
    // Every file access of the game comes through here: a path seen before is
    // answered without touching the heap but for the returned copy.
    std::string converted;
    std::string_view utf8 = ansiPath;
    if (!IsAscii(ansiPath)) {
        converted = AnsiToUtf8(ansiPath);
        utf8 = converted;
    }
    char stackBuffer[512];
    std::string heapBuffer;
    char* buffer = stackBuffer;
    if (utf8.size() > sizeof stackBuffer) {
        heapBuffer.resize(utf8.size());
        buffer = heapBuffer.data();
    }
    std::string_view clean(buffer, NormalizePathInto(utf8, buffer));
    if (clean.empty()) return {};

    const bool isRenderJson = ContainsIgnoringCase(clean, "render.json");
    std::string savedMapId;
    if (isRenderJson) {
        const std::size_t position = FindMapId(clean);
        if (position != std::string::npos) savedMapId = ToLowerAscii(clean.substr(position, 4));
    }

    std::string rewritten;
    if (MapRewriteActive()) {
        if (std::optional<std::string> mapped = RewriteMapPath(std::string(clean), LookUpMapDirectory)) {
            rewritten = std::move(*mapped);
            clean = rewritten;
        }
    }

    {
        std::shared_lock lock(m_resolveLock);
        const auto cached = m_resolveCache.find(clean);
        if (cached != m_resolveCache.end()) return cached->second;
    }
    return ResolveUncached(ansiPath, clean, isRenderJson, savedMapId);
}

std::string ModRouter::ResolveUncached(std::string_view ansiPath, std::string_view clean, bool isRenderJson,
                                       const std::string& savedMapId) {
    if (isRenderJson) return ResolveRenderJson(ansiPath, clean, savedMapId);

    const ConfigManager& config = ConfigManager::Instance();
    if (IsRootFile(clean)) {
        const std::string inGameFolder = PathJoin(config.GetGameFolderUtf8(), clean);
        if (ProbeFile(inGameFolder)) {
            std::string answer = Utf8ToGameText(inGameFolder);
            StoreResolved(clean, answer);
            return answer;
        }
    }
    const std::string found = FindFile(clean);
    std::string answer = found.empty() ? std::string() : Utf8ToGameText(found);
    StoreResolved(clean, answer);
    return answer;
}

std::string ModRouter::ResolveRenderJson(std::string_view ansiPath, std::string_view clean,
                                         const std::string& mapId) {
    const ConfigManager& config = ConfigManager::Instance();
    std::string directory = mapId;
    if (std::optional<std::string> mapped = config.GetSnDirectoryMap().Find(ToUpperAscii(mapId))) {
        directory = *mapped;  // already in code page 936
    }
    const std::string relative = directory + "\\render.json";

    std::vector<std::string> candidates;
    const std::string mod = config.GetSelectedMod();
    const std::string gameFolder = config.GetGameFolderAnsi();
    if (IsModSelected(mod)) candidates.push_back(PathJoin(ModFolderOf(gameFolder, Utf8ToAnsi(mod)), relative));
    candidates.push_back(PathJoin(config.GetBaseFolder().ansi, relative));
    candidates.push_back(PathJoin(gameFolder, relative));
    for (const std::string& candidate : candidates) {
        m_probes.fetch_add(1, std::memory_order_relaxed);
        const DWORD attributes = GetFileAttributesA(candidate.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            StoreResolved(clean, candidate);
            return candidate;
        }
    }
    return std::string(ansiPath);
}

std::string ModRouter::FindFile(std::string_view relativePath) {
    const bool special = IsSpecialFile(relativePath);
    const std::string key = NormalizePath(relativePath);
    {
        std::shared_lock lock(m_findLock);
        const auto cached = m_findCache.find(key);
        if (cached != m_findCache.end()) return cached->second;
    }

    std::vector<std::string> candidates;
    if (special && MapRewriteActive()) {
        const std::size_t position = FindMapId(key);
        if (position != std::string::npos) {
            if (std::optional<std::string> directory = LookUpMapDirectory(ToUpperAscii(key.substr(position, 4)))) {
                std::string mapped = key;
                mapped.replace(position, 4, *directory);
                candidates.push_back(std::move(mapped));
            }
        }
    }
    candidates.push_back(key);

    const bool absolute = IsAbsolute(key);
    const std::string gameFolder = ConfigManager::Instance().GetGameFolderUtf8();
    const std::shared_ptr<const SearchPathList> searchPaths = CurrentSearchPaths();
    std::string result;
    for (const std::string& candidate : candidates) {
        if (absolute) {
            if (ProbeFile(candidate)) result = candidate;
        } else {
            const std::string inGameFolder = PathJoin(gameFolder, candidate);
            if (!special && ProbeFile(inGameFolder)) {
                result = inGameFolder;
            } else {
                for (const SearchPath& searchPath : *searchPaths) {
                    // The game folder was probed just above for ordinary files.
                    if (!special && searchPath.path == gameFolder) continue;
                    const std::string full = PathJoin(searchPath.path, candidate);
                    if (HasSecondColon(full)) continue;
                    if (ProbeFile(full)) {
                        result = full;
                        break;
                    }
                }
            }
        }
        if (!result.empty()) break;
    }
    if (result.empty()) result = key;

    if (!result.empty()) {
        std::unique_lock lock(m_findLock);
        m_findCache.emplace(key, result);
    }
    return result;
}

void ModRouter::ResetForTesting() {
    PublishSearchPaths({});
    {
        std::unique_lock lock(m_resolveLock);
        m_resolveCache.clear();
    }
    std::unique_lock lock(m_findLock);
    m_findCache.clear();
    m_probes.store(0);
}

}  // namespace modroute
