#include "redirect/ModRouter.h"

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

// A join whose result holds a second drive colon names no real file.
bool HasSecondColon(const std::string& path) {
    const std::size_t first = path.find(':');
    return first != std::string::npos && path.find(':', first + 1) != std::string::npos;
}

std::shared_ptr<const Resolution> MakeAnswer(ServedFrom from, std::string utf8Path) {
    auto answer = std::make_shared<Resolution>();
    answer->from = from;
    if (std::optional<std::string> gbk = Utf8ToGbkExact(utf8Path)) {
        answer->gbkPath = std::move(*gbk);
        answer->gbkExact = true;
    }
    answer->path = std::move(utf8Path);
    return answer;
}

std::shared_ptr<const Resolution> UnchangedAnswer(std::string_view utf8Request) {
    auto answer = std::make_shared<Resolution>();
    answer->from = ServedFrom::Unchanged;
    answer->path.assign(utf8Request);
    return answer;
}

}  // namespace

ModRouter& ModRouter::Instance() {
    static ModRouter router;
    return router;
}

ModRouter::ModRouter() { StartGeneration(std::make_shared<const RouteContext>()); }

void ModRouter::Configure(RouteContext context) {
    StartGeneration(std::make_shared<const RouteContext>(std::move(context)));
}

void ModRouter::StartGeneration(std::shared_ptr<const RouteContext> context) {
    auto state = std::make_shared<State>();
    // Read before the new state is published: files added meanwhile make the
    // generation differ, and the next resolution starts yet another one.
    if (context->virtualFiles != nullptr) state->virtualGeneration = context->virtualFiles->Generation();
    state->context = std::move(context);
    m_state.Publish(std::move(state));
}

std::shared_ptr<const ModRouter::State> ModRouter::CurrentState() {
    std::shared_ptr<const State> state = m_state.Get();
    const VirtualFileLookup* virtualFiles = state->context->virtualFiles;
    if (virtualFiles != nullptr && virtualFiles->Generation() != state->virtualGeneration) {
        StartGeneration(state->context);
        state = m_state.Get();
    }
    return state;
}

bool ModRouter::Probe(const std::string& utf8Path) {
    m_probes.fetch_add(1, std::memory_order_relaxed);
    return FileExists(utf8Path);
}

std::shared_ptr<const Resolution> ModRouter::Resolve(std::string_view gbkPath) {
    if (IsAscii(gbkPath)) return ResolveUtf8(gbkPath);  // ASCII reads the same in both
    const std::optional<std::string> utf8 = GbkToUtf8Exact(gbkPath);
    // Bytes that are not GBK text are not a path the redirector can reason about.
    if (!utf8) return UnchangedAnswer(GbkToUtf8(gbkPath));
    return ResolveUtf8(*utf8);
}

std::shared_ptr<const Resolution> ModRouter::ResolveUtf8(std::string_view utf8Path) {
    const std::shared_ptr<const State> state = CurrentState();
    const RouteContext& context = *state->context;
    if (IsAbsolutePath(ToBackslashes(utf8Path.substr(0, 2)))) return UnchangedAnswer(utf8Path);

    std::string clean = NormalizePath(utf8Path);
    if (clean.empty()) return MakeAnswer(ServedFrom::Nowhere, {});

    const bool isRenderJson = ContainsIgnoringCase(clean, "render.json");
    std::string mapId;
    if (isRenderJson) {
        const std::size_t position = FindMapId(clean);
        if (position != std::string::npos) mapId = ToLowerAscii(clean.substr(position, 4));
    }
    if (context.MapRewriteActive()) {
        const auto lookUp = [&context](std::string_view key) { return context.mapTable->Find(key); };
        if (std::optional<std::string> rewritten = RewriteMapPath(clean, lookUp)) clean = std::move(*rewritten);
    }

    {
        std::shared_lock lock(state->cacheLock);
        const auto cached = state->cache.find(clean);
        if (cached != state->cache.end()) return cached->second;
    }
    std::shared_ptr<const Resolution> answer = ResolveUncached(*state, clean, isRenderJson, mapId);
    // A render.json that nobody supplies gives the caller's own spelling
    // back, which is not an answer for other spellings of the same path.
    if (answer->from == ServedFrom::Unchanged) return UnchangedAnswer(utf8Path);
    std::unique_lock lock(state->cacheLock);
    return state->cache.emplace(std::move(clean), std::move(answer)).first->second;
}

std::shared_ptr<const Resolution> ModRouter::ResolveUncached(const State& state, const std::string& clean,
                                                             bool isRenderJson, const std::string& mapId) {
    const RouteContext& context = *state.context;
    if (isRenderJson) return ResolveRenderJson(context, mapId);
    if (IsRootFile(clean)) {
        std::string inGameFolder = PathJoin(context.gameFolder, clean);
        if (Probe(inGameFolder)) return MakeAnswer(ServedFrom::GameFolder, std::move(inGameFolder));
    }
    return FindFile(context, clean);
}

std::shared_ptr<const Resolution> ModRouter::ResolveRenderJson(const RouteContext& context, const std::string& mapId) {
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
        std::string candidate = PathJoin(*root, relative);
        if (Probe(candidate)) return MakeAnswer(from, std::move(candidate));
    }
    return UnchangedAnswer({});
}

std::shared_ptr<const Resolution> ModRouter::FindFile(const RouteContext& context, const std::string& clean) {
    const bool special = IsSpecialFile(clean);
    std::vector<std::string> candidates;
    if (special && context.MapRewriteActive()) {
        const std::size_t position = FindMapId(clean);
        if (position != std::string::npos) {
            if (std::optional<std::string> directory = context.mapTable->Find(ToUpperAscii(clean.substr(position, 4)))) {
                std::string mapped = clean;
                mapped.replace(position, 4, *directory);
                candidates.push_back(std::move(mapped));
            }
        }
    }
    candidates.push_back(clean);

    for (const std::string& candidate : candidates) {
        if (context.virtualFiles != nullptr && context.virtualFiles->HasFile(candidate)) {
            return MakeAnswer(ServedFrom::Virtual, CleanPath(candidate));
        }
        // The game folder's own copy wins, except for map files, which the
        // mod and base folders may replace.
        std::string inGameFolder = PathJoin(context.gameFolder, candidate);
        if (!special && Probe(inGameFolder)) return MakeAnswer(ServedFrom::GameFolder, std::move(inGameFolder));
        for (const SearchPath& searchPath : context.searchPaths) {
            if (!special && searchPath.path == context.gameFolder) continue;  // probed just above
            std::string full = PathJoin(searchPath.path, candidate);
            if (HasSecondColon(full)) continue;
            if (Probe(full)) return MakeAnswer(searchPath.from, std::move(full));
        }
    }
    return MakeAnswer(ServedFrom::Nowhere, clean);
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
