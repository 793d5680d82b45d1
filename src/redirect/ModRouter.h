// The redirector: decides where a game file is really read from. Game threads
// resolve paths at any time, also while the search path list is rebuilt.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "common/SrwLock.h"

// <windows.h> maps SearchPath to SearchPathA; the redirector's own type wins
// wherever this header is seen.
#undef SearchPath

namespace modroute {

// Hashes std::string and std::string_view alike, so cache lookups need no copy.
struct PathHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
};
using PathCache = std::unordered_map<std::string, std::string, PathHash, std::equal_to<>>;

struct SearchPath {
    std::string path;  // absolute folder, UTF-8
};

using SearchPathList = std::vector<SearchPath>;

class ModRouter {
public:
    static ModRouter& Instance();

    // Provisional list for accesses made while the library loads: base, game.
    bool InitializeEarly();
    // Full list: the selected mod's folder (when it exists), base, game.
    bool Initialize();
    bool BuildEarlySearchPaths();
    bool BuildSearchPaths();
    SearchPathList GetSearchPaths() const;

    // Whether a game path would be served from somewhere other than the game folder.
    bool ShouldRedirect(std::string_view path) const;
    // The path to open for a game path in code page 936; empty for an empty path,
    // "[VFS]..." for a virtual file, otherwise a file path (code page 936).
    std::string ResolveFilePath(std::string_view ansiPath);
    // Searches the game folder and the search paths for a relative UTF-8 path.
    std::string FindFile(std::string_view relativePath);

    // Disk probes made by resolution so far (for benchmarks and tests).
    std::uint64_t ProbeCount() const { return m_probes.load(std::memory_order_relaxed); }

    // Tests only: empty list and caches.
    void ResetForTesting();

private:
    ModRouter();

    void PublishSearchPaths(SearchPathList paths);
    std::shared_ptr<const SearchPathList> CurrentSearchPaths() const;
    bool ProbeFile(const std::string& utf8Path) const;
    std::string ResolveUncached(std::string_view ansiPath, std::string_view clean, bool isRenderJson,
                                const std::string& savedMapId);
    std::string ResolveRenderJson(std::string_view ansiPath, std::string_view clean, const std::string& mapId);
    void StoreResolved(std::string_view clean, const std::string& ansiResult);

    // Each rebuilt list is published whole; readers keep the one they took.
    std::atomic<std::shared_ptr<const SearchPathList>> m_searchPaths;

    // Clean path (after the map rewrite) to its answer in code page 936;
    // empty records a path known to be missing.
    mutable SrwLock m_resolveLock;
    PathCache m_resolveCache;

    // Normalised relative path to the result of FindFile (UTF-8).
    mutable SrwLock m_findLock;
    PathCache m_findCache;

    mutable std::atomic<std::uint64_t> m_probes{0};
};

}  // namespace modroute
