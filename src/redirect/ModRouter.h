// The redirector: decides where a game path is really served from. Game
// threads resolve at any time, also while the context is replaced; each
// context comes with caches of its own, so an answer given under an older
// context (before the full initialisation, before a pack was registered, with
// another map table, before the file index learnt of a change) is never
// handed out under a newer one. A first answer comes from the file index
// where it knows, from the disk otherwise; it stays until the index changes.
// What the game changes itself through the hooks (Forget) is seen at once.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <mutex>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "common/Published.h"
#include "common/SrwLock.h"
#include "common/StartupGate.h"
#include "index/FileIndex.h"
#include "redirect/RouteContext.h"

namespace modroute {

class ModRouter {
public:
    static ModRouter& Instance();
    ModRouter();

    ~ModRouter();
    ModRouter(const ModRouter&) = delete;
    ModRouter& operator=(const ModRouter&) = delete;

    // Publishes a new context and starts a new cache generation; a context
    // equal to the current one changes nothing.
    void Configure(RouteContext context);
    std::shared_ptr<const RouteContext> Context() const { return m_current.load(std::memory_order_acquire)->context; }
    // The context to answer a request about the path with: once the start-up
    // work the answer depends on has finished (StartupGate), when the caller
    // may wait for it. Every resolution below waits the same way, and keeps
    // no answer given before that work finished.
    std::shared_ptr<const RouteContext> ContextFor(std::string_view utf8Path) const;
    // The start-up work an answer about the path depends on: the packs for a
    // relative path, the map table for one that may name a map (or the map
    // index, Tavren.res, that AutoRes writes).
    static StartupWork WorkNeededFor(std::string_view utf8Path);

    // Where a game path (code page 936) is served from.
    std::shared_ptr<const Resolution> Resolve(std::string_view gbkPath);
    // The same for a path in UTF-8 (the wide-character functions' requests).
    std::shared_ptr<const Resolution> ResolveUtf8(std::string_view utf8Path);
    // The same for a path relative to the game folder whatever the current
    // folder is (the searches' own entries).
    std::shared_ptr<const Resolution> ResolveGameRelativeUtf8(std::string_view utf8Path);

    // Where the disk serves a game path from now, asked afresh past the cache
    // and the virtual file system: for a request whose answer cannot be
    // opened any more (a pack that no longer supplies its file, a mod folder
    // gone from the disk). Never cached.
    std::shared_ptr<const Resolution> ResolveOnDisk(std::string_view gbkPath);
    std::shared_ptr<const Resolution> ResolveOnDiskUtf8(std::string_view utf8Path);

    // What the game itself just created, wrote, deleted, moved or renamed:
    // the answers of that path and of everything below it are dropped, in
    // every spelling, and the path becomes the game's own, served from the
    // game folder's copy whenever there is one, before packs, mods and base.
    // So the game always reads back what it wrote.
    void Forget(std::string_view gbkPath);
    void ForgetUtf8(std::string_view utf8Path);

    // For a write into what is there: when the game folder lacks the file
    // that the mod or base folder serves, copies that file into the game
    // folder and gives the copy, for the write to open; null otherwise.
    // Never cached; the caller forgets the path once it has opened it.
    std::shared_ptr<const Resolution> CopyForUpdate(std::string_view gbkPath);
    std::shared_ptr<const Resolution> CopyForUpdateUtf8(std::string_view utf8Path);

    // The answer in the form the exported ResolvePath gives: empty for an
    // empty path, "[VFS]" and the virtual path, the file to open, the clean
    // relative form when nothing was found, or the request itself when it is
    // not the redirector's to change. Code page 936.
    std::string ResolveFilePath(std::string_view gbkPath);

    // Whether the game path is served from somewhere other than the game
    // folder: the mod, the base folder or a pack.
    bool ShouldRedirect(std::string_view gbkPath);

    // The game moved its current folder (SetCurrentDirectory): a relative
    // request names a file of that folder from now on, as it would without
    // the redirector. Until the first move, relative means the game folder.
    void NoteCurrentFolder();

    // How many times a resolution asked the disk whether a file exists.
    std::uint64_t DiskChecks() const { return m_diskChecks.load(std::memory_order_relaxed); }

private:
    struct PathHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
    };
    using Cache = std::unordered_map<std::string, std::shared_ptr<const Resolution>, PathHash, std::equal_to<>>;

    struct State {
        std::shared_ptr<const RouteContext> context;
        std::uint64_t virtualGeneration = 0;
        std::uint64_t indexGeneration = 0;
        std::shared_ptr<const FileIndexSnapshot> files;  // null: the disk answers
        mutable SrwLock cacheLock;
        mutable Cache cache;  // clean path (after the map rewrite) to its answer
    };

    const State& CurrentState();
    // Publishes a generation of the context; with replaced, only while that
    // generation is still the current one.
    void StartGeneration(std::shared_ptr<const RouteContext> context, const State* replaced = nullptr);
    std::shared_ptr<const Resolution> ResolveUncached(const RouteContext& context, const FileIndexSnapshot* files,
                                                      const std::string& clean, bool isRenderJson,
                                                      const std::string& mapId);
    bool IsGameOwn(std::string_view clean) const;
    std::shared_ptr<const Resolution> ResolveRenderJson(const RouteContext& context, const FileIndexSnapshot* files,
                                                        const std::string& mapId);
    std::shared_ptr<const Resolution> FindFile(const RouteContext& context, const FileIndexSnapshot* files,
                                               const std::string& clean);
    // The answer for one clean candidate path; null when nothing holds it.
    std::shared_ptr<const Resolution> FindCandidate(const RouteContext& context, const FileIndexSnapshot* files,
                                                    const std::string& candidate, bool special);
    // Whether a plain file is at folder\relative: from the index where it
    // knows, from the disk otherwise.
    bool FileAt(const FileIndexSnapshot* files, const std::string& folder, std::string_view relative);

    // The current generation, read on every resolution without a lock. A
    // replaced generation is kept (its cache emptied) until the router goes,
    // since a reader may still be working with it; there are only a few per
    // process, one per context and one per change of the packs.
    std::atomic<const State*> m_current{nullptr};
    std::mutex m_generationsLock;
    // Paths the game changed itself (lower case, clean), kept across
    // generations; and a count of the forgets, so that an answer worked out
    // while the game changed its path is not kept.
    mutable SrwLock m_gameOwnLock;
    std::unordered_set<std::string, PathHash, std::equal_to<>> m_gameOwn;
    std::atomic<std::uint64_t> m_forgets{0};
    std::vector<std::unique_ptr<State>> m_generations;
    std::atomic<std::uint64_t> m_diskChecks{0};
    // Absolute (UTF-8), set only while the current folder is not the game
    // folder; the flag spares the common case a look at it.
    std::atomic<bool> m_folderMoved{false};
    Published<std::string> m_currentFolder;
    // The request as seen from the game folder: unchanged unless the game
    // moved its current folder, else joined to it (absolute when that folder
    // lies outside the game folder). storage holds a joined path.
    std::string_view FromCurrentFolder(std::string_view utf8Path, std::string& storage) const;
};

}  // namespace modroute
