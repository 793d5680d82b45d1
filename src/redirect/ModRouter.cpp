#include "redirect/ModRouter.h"

#include <algorithm>
#include <mutex>
#include <shared_mutex>
#include <vector>

#include "common/FileSystem.h"
#include "common/PathText.h"
#include "common/TextEncoding.h"
#include "redirect/PathRules.h"
#include "resources/ResourceCategories.h"

namespace modroute {
namespace {

bool IsAscii(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
}

// A join of the two whose result holds a second drive colon names no real file.
bool HasSecondColon(std::string_view folder, std::string_view relative) {
    return std::count(folder.begin(), folder.end(), ':') + std::count(relative.begin(), relative.end(), ':') > 1;
}

std::shared_ptr<const Resolution> MakeAnswer(ServedFrom from, ResolutionRule rule, std::string utf8Path) {
    auto answer = std::make_shared<Resolution>();
    answer->from = from;
    answer->rule = rule;
    if (IsAscii(utf8Path)) {
        // ASCII reads the same in code page 936: no conversion to pay for.
        answer->gbkPath = utf8Path;
        answer->gbkExact = true;
    } else if (std::optional<std::string> gbk = Utf8ToGbkExact(utf8Path)) {
        answer->gbkPath = std::move(*gbk);
        answer->gbkExact = true;
    }
    answer->path = std::move(utf8Path);
    return answer;
}

// One answer for each rule that leaves requests alone.
template <ResolutionRule rule>
const std::shared_ptr<const Resolution>& UnchangedAnswer() {
    static const std::shared_ptr<const Resolution> unchanged = [] {
        auto answer = std::make_shared<Resolution>();
        answer->from = ServedFrom::Unchanged;
        answer->rule = rule;
        return answer;
    }();
    return unchanged;
}

// The rule of a file found in a search folder.
ResolutionRule FoundInSearchPath(ServedFrom from, bool mapFile) {
    if (mapFile) return ResolutionRule::MapFile;
    if (from == ServedFrom::Mod) return ResolutionRule::Mod;
    if (from == ServedFrom::Base) return ResolutionRule::Base;
    return ResolutionRule::GameFolderCopy;
}

// Longest clean path normalised on the stack; longer ones use the heap.
constexpr std::size_t kStackPath = 512;

}  // namespace

ModRouter& ModRouter::Instance() {
    // Never destroyed: hooks may still resolve while the process's statics go.
    static ModRouter* router = new ModRouter;
    return *router;
}

ModRouter::ModRouter() { StartGeneration(std::make_shared<const RouteContext>()); }

ModRouter::~ModRouter() = default;

void ModRouter::Configure(RouteContext context) {
    // The same context again (the full initialisation may run twice) keeps its answers.
    if (*m_current.load(std::memory_order_acquire)->context == context) return;
    StartGeneration(std::make_shared<const RouteContext>(std::move(context)));
}

void ModRouter::StartGeneration(std::shared_ptr<const RouteContext> context, const State* replaced) {
    auto state = std::make_unique<State>();
    // Read before the new state is published: files added meanwhile make the
    // generation differ, and the next resolution starts yet another one.
    if (context->virtualFiles != nullptr) state->virtualGeneration = context->virtualFiles->Generation();
    if (context->fileIndex != nullptr) {
        state->indexGeneration = context->fileIndex->Generation();
        state->files = context->fileIndex->Snapshot();
    }
    state->context = std::move(context);
    std::lock_guard lock(m_generationsLock);
    const State* previous = m_current.load(std::memory_order_acquire);
    // A reader starting over with the context it saw must not put back an
    // older context that was published meanwhile: the newer one stands.
    if (replaced != nullptr && previous != replaced) return;
    m_current.store(state.get(), std::memory_order_release);
    m_generations.push_back(std::move(state));
    if (previous != nullptr) {
        // Readers that still hold the old generation may go on with it; its
        // answers are simply no longer kept.
        std::unique_lock cacheLock(previous->cacheLock);
        Cache().swap(previous->cache);
    }
}

const ModRouter::State& ModRouter::CurrentState() {
    const State* state = m_current.load(std::memory_order_acquire);
    const VirtualFileLookup* virtualFiles = state->context->virtualFiles;
    const FileIndex* fileIndex = state->context->fileIndex;
    if ((virtualFiles != nullptr && virtualFiles->Generation() != state->virtualGeneration) ||
        (fileIndex != nullptr && fileIndex->Generation() != state->indexGeneration)) {
        StartGeneration(state->context, state);
        state = m_current.load(std::memory_order_acquire);
    }
    return *state;
}

namespace {

// A path inside the game folder that the game names absolutely is the same
// file as its relative spelling: its answers go as well.
std::string_view RelativeToGameFolder(std::string_view utf8Path, const std::string& gameFolder) {
    if (!IsAbsolutePath(utf8Path) || gameFolder.empty() || utf8Path.size() <= gameFolder.size() + 1) return utf8Path;
    const char separator = utf8Path[gameFolder.size()];
    if ((separator != '\\' && separator != '/') || ToLowerAscii(utf8Path.substr(0, gameFolder.size())) != ToLowerAscii(gameFolder)) {
        return utf8Path;
    }
    return utf8Path.substr(gameFolder.size() + 1);
}

}  // namespace

void ModRouter::NoteCurrentFolder() {
    wchar_t buffer[1024];
    const DWORD length = GetCurrentDirectoryW(static_cast<DWORD>(std::size(buffer)), buffer);
    std::string folder = length > 0 && length < std::size(buffer) ? WideToUtf8(std::wstring_view(buffer, length)) : "";
    while (folder.size() > 3 && IsSeparator(folder.back())) folder.pop_back();
    const std::string& game = Context()->gameFolder;
    // A folder too long to read leaves relative requests to the game folder, as before any move.
    const bool atGame = folder.empty() || game.empty() || EqualsIgnoringAsciiCase(folder, game);
    m_currentFolder.Publish(atGame ? nullptr : std::make_shared<const std::string>(std::move(folder)));
    m_folderMoved.store(!atGame, std::memory_order_release);
}

std::string_view ModRouter::FromCurrentFolder(std::string_view utf8Path, std::string& storage) const {
    if (!m_folderMoved.load(std::memory_order_acquire) || utf8Path.empty() || IsAbsolutePath(utf8Path) ||
        IsSeparator(utf8Path.front())) {
        return utf8Path;
    }
    const std::shared_ptr<const std::string> folder = m_currentFolder.Get();
    if (!folder) return utf8Path;
    storage = PathJoin(*folder, utf8Path);
    return RelativeToGameFolder(storage, Context()->gameFolder);
}

std::shared_ptr<const Resolution> ModRouter::Resolve(std::string_view gbkPath) {
    if (IsAscii(gbkPath)) return ResolveUtf8(gbkPath);  // ASCII reads the same in both
    const std::optional<std::string> utf8 = GbkToUtf8Exact(gbkPath);
    // Bytes that are not GBK text are not a path the redirector can reason about.
    if (!utf8) return UnchangedAnswer<ResolutionRule::NotText>();
    return ResolveUtf8(*utf8);
}

std::shared_ptr<const Resolution> ModRouter::ResolveOnDisk(std::string_view gbkPath) {
    if (IsAscii(gbkPath)) return ResolveOnDiskUtf8(gbkPath);
    const std::optional<std::string> utf8 = GbkToUtf8Exact(gbkPath);
    if (!utf8) return UnchangedAnswer<ResolutionRule::NotText>();
    return ResolveOnDiskUtf8(*utf8);
}

namespace {

// Normalises a request on the stack and applies the AutoRes rewrite of its
// map id, then gives answer the clean path, whether it names a render.json,
// and the map id of one that does.
template <typename Answer>
std::shared_ptr<const Resolution> WithCleanRequest(const RouteContext& context, std::string_view utf8Path,
                                                   Answer&& answer) {
    if (IsAbsolutePath(utf8Path)) return UnchangedAnswer<ResolutionRule::Absolute>();

    // Every file access of the game comes through here: a path seen before is
    // answered without a single allocation.
    char stackBuffer[kStackPath];
    std::string heapBuffer;
    char* buffer = stackBuffer;
    if (utf8Path.size() > sizeof stackBuffer) {
        heapBuffer.resize(utf8Path.size());
        buffer = heapBuffer.data();
    }
    std::string_view clean(buffer, NormalizePathInto(utf8Path, buffer));
    if (clean.empty()) return MakeAnswer(ServedFrom::Nowhere, ResolutionRule::Empty, {});

    const bool isRenderJson = IsRenderJson(clean);
    std::string mapId;
    if (isRenderJson) {
        const std::size_t position = FindMapId(clean);
        if (position != std::string::npos) mapId = ToLowerAscii(MapIdKeyAt(clean, position));
    }
    std::string rewritten;
    if (context.MapRewriteActive()) {
        const auto lookUp = [&context](std::string_view key) { return context.mapTable->Find(key); };
        if (std::optional<std::string> mapped = RewriteMapPath(std::string(clean), lookUp)) {
            rewritten = std::move(*mapped);
            clean = rewritten;
        }
    }
    return answer(clean, isRenderJson, mapId);
}

}  // namespace

StartupWork ModRouter::WorkNeededFor(std::string_view utf8Path) {
    StartupWork needed = IsAbsolutePath(utf8Path) ? StartupWork::None : StartupWork::Packs;
    if (FindMapId(utf8Path) != std::string_view::npos || IsRenderJson(utf8Path) ||
        EqualsIgnoringAsciiCase(GetFileName(utf8Path), "Tavren.res")) {
        needed = needed | StartupWork::MapTable;
    }
    return needed;
}

namespace {

// Waits for the start-up work the path's answer depends on; false when the
// answer is given before that work finished and must not be kept.
bool AwaitStartupWork(std::string_view utf8Path) {
    StartupGate& gate = StartupGate::Instance();
    return gate.AllFinished() || gate.Await(ModRouter::WorkNeededFor(utf8Path));
}

}  // namespace

std::shared_ptr<const RouteContext> ModRouter::ContextFor(std::string_view utf8Path) const {
    AwaitStartupWork(utf8Path);
    return Context();
}

std::shared_ptr<const Resolution> ModRouter::ResolveUtf8(std::string_view requested) {
    std::string joined;
    return ResolveGameRelativeUtf8(FromCurrentFolder(requested, joined));
}

std::shared_ptr<const Resolution> ModRouter::ResolveGameRelativeUtf8(std::string_view utf8Path) {
    const bool final = AwaitStartupWork(utf8Path);
    const State& state = CurrentState();
    return WithCleanRequest(*state.context, utf8Path,
                            [&](std::string_view clean, bool isRenderJson, const std::string& mapId) {
                                {
                                    std::shared_lock lock(state.cacheLock);
                                    const auto cached = state.cache.find(clean);
                                    if (cached != state.cache.end()) return cached->second;
                                }
                                std::string key(clean);
                                const std::uint64_t forgets = m_forgets.load(std::memory_order_acquire);
                                std::shared_ptr<const Resolution> answer =
                                    ResolveUncached(*state.context, state.files.get(), key, isRenderJson, mapId);
                                // A render.json that nobody supplies is the caller's own business, and
                                // not an answer to keep for other spellings of the same path.
                                if (answer->from == ServedFrom::Unchanged || !final) return answer;
                                std::unique_lock lock(state.cacheLock);
                                // The game changed a path meanwhile: this answer may predate it.
                                if (m_forgets.load(std::memory_order_acquire) != forgets) return answer;
                                return state.cache.emplace(std::move(key), std::move(answer)).first->second;
                            });
}

std::shared_ptr<const Resolution> ModRouter::ResolveOnDiskUtf8(std::string_view requested) {
    std::string joined;
    const std::string_view utf8Path = FromCurrentFolder(requested, joined);
    AwaitStartupWork(utf8Path);
    RouteContext diskOnly = *CurrentState().context;
    diskOnly.virtualFiles = nullptr;
    return WithCleanRequest(diskOnly, utf8Path, [&](std::string_view clean, bool isRenderJson, const std::string& mapId) {
        return ResolveUncached(diskOnly, nullptr, std::string(clean), isRenderJson, mapId);
    });
}

bool ModRouter::FileAt(const FileIndexSnapshot* files, const std::string& folder, std::string_view relative) {
    if (files != nullptr) {
        const IndexAnswer answer = files->Find(folder, relative);
        if (answer != IndexAnswer::Unknown) return answer == IndexAnswer::File;
    }
    m_diskChecks.fetch_add(1, std::memory_order_relaxed);
    return FileExists(PathJoin(folder, relative));
}

std::shared_ptr<const Resolution> ModRouter::ResolveUncached(const RouteContext& context, const FileIndexSnapshot* files,
                                                             const std::string& clean, bool isRenderJson,
                                                             const std::string& mapId) {
    if (IsGameOwn(clean) && FileAt(files, context.gameFolder, clean)) {
        return MakeAnswer(ServedFrom::GameFolder, ResolutionRule::GameFolderCopy, PathJoin(context.gameFolder, clean));
    }
    if (isRenderJson) return ResolveRenderJson(context, files, mapId);
    if (IsRootFile(clean) && FileAt(files, context.gameFolder, clean)) {
        return MakeAnswer(ServedFrom::GameFolder, ResolutionRule::RootFile, PathJoin(context.gameFolder, clean));
    }
    return FindFile(context, files, clean);
}

std::shared_ptr<const Resolution> ModRouter::ResolveRenderJson(const RouteContext& context, const FileIndexSnapshot* files,
                                                               const std::string& mapId) {
    std::string directory = mapId;
    if (context.MapRewriteActive()) {
        if (std::optional<std::string> mapped = context.mapTable->Find(ToUpperAscii(mapId))) directory = *mapped;
    }
    const std::string relative = directory + "\\render.json";
    const std::pair<const std::string*, ServedFrom> roots[] = {
        {&context.modFolder, ServedFrom::Mod},
        {&context.baseFolder, ServedFrom::Base},
        {&context.gameFolder, ServedFrom::GameFolder},
    };
    for (const auto& [root, from] : roots) {
        if (root->empty() && from == ServedFrom::Mod) continue;
        if (FileAt(files, *root, relative)) return MakeAnswer(from, ResolutionRule::RenderJson, PathJoin(*root, relative));
    }
    return UnchangedAnswer<ResolutionRule::RenderJsonMissing>();
}

std::shared_ptr<const Resolution> ModRouter::FindFile(const RouteContext& context, const FileIndexSnapshot* files,
                                                     const std::string& clean) {
    const bool special = IsSpecialFile(clean);
    if (special && context.MapRewriteActive()) {
        const auto lookUp = [&context](std::string_view key) { return context.mapTable->Find(key); };
        if (std::optional<std::string> mapped = MapFileCandidate(clean, lookUp)) {
            if (std::shared_ptr<const Resolution> found = FindCandidate(context, files, CleanPath(*mapped), special)) {
                return found;
            }
        }
    }
    if (std::shared_ptr<const Resolution> found = FindCandidate(context, files, clean, special)) return found;
    return MakeAnswer(ServedFrom::Nowhere, ResolutionRule::NotFound, clean);
}

std::shared_ptr<const Resolution> ModRouter::FindCandidate(const RouteContext& context, const FileIndexSnapshot* files,
                                                          const std::string& candidate, bool special) {
    const VirtualRank rank = context.virtualFiles != nullptr ? context.virtualFiles->RankOf(candidate) : VirtualRank::None;
    if (rank == VirtualRank::First) return MakeAnswer(ServedFrom::Virtual, ResolutionRule::Pack, candidate);
    // The game folder's own copy wins, except for map files, which the
    // mod and base folders may replace.
    if (!special && FileAt(files, context.gameFolder, candidate)) {
        return MakeAnswer(ServedFrom::GameFolder, ResolutionRule::GameFolderCopy, PathJoin(context.gameFolder, candidate));
    }
    for (const SearchPath& searchPath : context.searchPaths) {
        if (searchPath.from == ServedFrom::Base && rank == VirtualRank::WithBaseFolder) {
            return MakeAnswer(ServedFrom::Virtual, ResolutionRule::BasePack, candidate);
        }
        if (!special && searchPath.path == context.gameFolder) continue;  // probed just above
        if (HasSecondColon(searchPath.path, candidate)) continue;
        if (FileAt(files, searchPath.path, candidate)) {
            return MakeAnswer(searchPath.from, FoundInSearchPath(searchPath.from, special), PathJoin(searchPath.path, candidate));
        }
    }
    return nullptr;
}

namespace {

// The request in UTF-8; nothing for bytes that are not code page 936 text.
std::optional<std::string> RequestUtf8(std::string_view gbkPath) {
    if (IsAscii(gbkPath)) return std::string(gbkPath);
    return GbkToUtf8Exact(gbkPath);
}

// key is the lower-case path itself or lies below it, in any letter case.
bool IsPathOrBelow(std::string_view key, std::string_view lower) {
    if (key.size() < lower.size() || (key.size() > lower.size() && key[lower.size()] != '\\')) return false;
    for (std::size_t i = 0; i < lower.size(); ++i) {
        if (LowerAscii(key[i]) != lower[i]) return false;
    }
    return true;
}

}  // namespace

bool ModRouter::IsGameOwn(std::string_view clean) const {
    std::shared_lock lock(m_gameOwnLock);
    // Until the game changes a path of its own there is nothing to fold the request for.
    return !m_gameOwn.empty() && m_gameOwn.find(ToLowerAscii(clean)) != m_gameOwn.end();
}

void ModRouter::Forget(std::string_view gbkPath) {
    if (const std::optional<std::string> utf8 = RequestUtf8(gbkPath)) ForgetUtf8(*utf8);
}

void ModRouter::ForgetUtf8(std::string_view requested) {
    std::string joined;
    const std::string_view utf8Path = FromCurrentFolder(requested, joined);
    AwaitStartupWork(utf8Path);  // the spelling to forget may be the map table's
    const State& state = CurrentState();
    if (FileIndex* index = state.context->fileIndex) {
        // The index learns of the change at once, not only when the
        // notification comes; the new snapshot starts a new generation.
        std::string_view relative = RelativeToGameFolder(utf8Path, state.context->gameFolder);
        index->Touch(IsAbsolutePath(relative) ? std::string(relative)
                                               : PathJoin(state.context->gameFolder, NormalizePath(ToBackslashes(relative))));
    }
    std::string lower;
    WithCleanRequest(*state.context, RelativeToGameFolder(utf8Path, state.context->gameFolder),
                     [&](std::string_view clean, bool, const std::string&) {
                         lower = ToLowerAscii(clean);
                         return nullptr;
                     });
    if (lower.empty()) return;
    {
        std::unique_lock lock(m_gameOwnLock);
        m_gameOwn.insert(lower);
    }
    std::unique_lock lock(state.cacheLock);
    m_forgets.fetch_add(1, std::memory_order_acq_rel);
    std::erase_if(state.cache, [&](const auto& entry) { return IsPathOrBelow(entry.first, lower); });
}

std::shared_ptr<const Resolution> ModRouter::CopyForUpdate(std::string_view gbkPath) {
    const std::optional<std::string> utf8 = RequestUtf8(gbkPath);
    return utf8 ? CopyForUpdateUtf8(*utf8) : nullptr;
}

std::shared_ptr<const Resolution> ModRouter::CopyForUpdateUtf8(std::string_view requested) {
    std::string joined;
    const std::string_view utf8Path = FromCurrentFolder(requested, joined);
    AwaitStartupWork(utf8Path);
    RouteContext diskOnly = *CurrentState().context;
    diskOnly.virtualFiles = nullptr;  // a packed name is written where the game asked
    return WithCleanRequest(diskOnly, utf8Path, [&](std::string_view clean, bool isRenderJson, const std::string& mapId) {
        std::string inGameFolder = PathJoin(diskOnly.gameFolder, clean);
        const std::shared_ptr<const Resolution> served =
            ResolveUncached(diskOnly, nullptr, std::string(clean), isRenderJson, mapId);
        if ((served->from != ServedFrom::Mod && served->from != ServedFrom::Base) ||
            !CopyToNewPlace(served->path, inGameFolder)) {
            return std::shared_ptr<const Resolution>();
        }
        return MakeAnswer(ServedFrom::GameFolder, ResolutionRule::GameFolderCopy, std::move(inGameFolder));
    });
}

std::string ModRouter::ResolveFilePath(std::string_view gbkPath) {
    const std::shared_ptr<const Resolution> answer = Resolve(gbkPath);
    switch (answer->from) {
        case ServedFrom::Unchanged:
            return std::string(gbkPath);
        case ServedFrom::Virtual:
            return "[VFS]" + Utf8ToGbk(answer->path);
        default:
            return answer->gbkExact ? answer->gbkPath : Utf8ToGbk(answer->path);
    }
}

bool ModRouter::ShouldRedirect(std::string_view gbkPath) {
    const std::shared_ptr<const Resolution> answer = Resolve(gbkPath);
    switch (answer->from) {
        case ServedFrom::Mod:
        case ServedFrom::Base:
        case ServedFrom::Virtual:
            return !IsRootFile(answer->path);
        case ServedFrom::Nowhere: {
            // Without a mod, the base folder is where the game's resource
            // folders are kept: a path under one of them counts as redirected.
            if (answer->path.empty() || answer->path == "." || answer->path == "..") return false;
            return Context()->modFolder.empty() && IsBaseResourceFolder(answer->path);
        }
        default:
            return false;
    }
}

}  // namespace modroute
