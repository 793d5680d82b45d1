#include "ResolveExplanation.h"

#include <optional>

#include "common/PathText.h"
#include "redirect/PathRules.h"

namespace modroute::tool {
namespace {

// The map id's directory, when the table holds the id at position.
std::optional<std::string> MappedDirectory(const RouteContext& context, const std::string& path, std::size_t position) {
    if (!context.MapRewriteActive() || position == std::string::npos) return std::nullopt;
    return context.mapTable->Find(MapIdKeyAt(path, position));
}

std::string MapNote(const std::string& from, const std::string& to, const std::string& key,
                    const std::string& directory) {
    return from + " -> " + to + " (map table " + key + " -> " + directory + ")";
}

void ExplainRenderJson(const RouteContext& context, const std::string& clean, Explanation& out) {
    const std::size_t position = FindMapId(clean);
    const std::string mapId = position == std::string::npos ? std::string() : ToLowerAscii(MapIdKeyAt(clean, position));
    std::string directory = mapId;
    if (std::optional<std::string> mapped = MappedDirectory(context, clean, position)) directory = *mapped;
    const std::string looked = directory + "\\render.json";
    if (directory != mapId) out.rewrite = MapNote(clean, looked, ToUpperAscii(mapId), directory);
    out.why = "a map's render.json is looked up as " + looked + " in the mod, base and game folders, in that order";
    if (!out.found) out.why += "; none holds it, so the game keeps its own path";
}

// The map file's candidate with its id replaced by the map's directory,
// which the resolver tries before the path itself.
std::optional<std::string> MapFileCandidate(const RouteContext& context, const std::string& clean) {
    if (!IsSpecialFile(clean) || !context.MapRewriteActive()) return std::nullopt;
    return modroute::MapFileCandidate(clean, [&context](std::string_view key) { return context.mapTable->Find(key); });
}

bool EndsWithPath(const std::string& path, const std::string& relative) {
    if (path.size() <= relative.size()) return false;
    const std::size_t start = path.size() - relative.size();
    return path.compare(start, relative.size(), relative) == 0 && IsSeparator(path[start - 1]);
}

}  // namespace

Explanation ExplainResolution(GameView& view, const std::string& request) {
    const std::shared_ptr<const Resolution> answer = view.Router().ResolveUtf8(request);
    const std::shared_ptr<const RouteContext> context = view.Router().Context();
    Explanation out;
    out.file = answer->path;
    out.rule = ResolutionRuleName(answer->rule);

    switch (answer->from) {
        case ServedFrom::Mod: out.servedFrom = "mod " + view.Config().GetSelectedMod(); break;
        case ServedFrom::Base: out.servedFrom = "base"; break;
        case ServedFrom::GameFolder: out.servedFrom = "game folder"; break;
        case ServedFrom::Virtual: out.servedFrom = "pack"; break;
        case ServedFrom::Nowhere: out.servedFrom = "nowhere"; break;
        case ServedFrom::Unchanged: out.servedFrom = "the game's own path (unchanged)"; break;
    }
    out.found = answer->from != ServedFrom::Nowhere && answer->from != ServedFrom::Unchanged;
    if (answer->from == ServedFrom::Unchanged) out.file = request;
    if (answer->from == ServedFrom::Virtual) out.pack = view.Files().PackOf(answer->path).value_or("");

    switch (answer->rule) {
        case ResolutionRule::Absolute:
            out.why = "an absolute path is never joined to a search folder: the game opens it as it is";
            return out;
        case ResolutionRule::NotText:
            out.why = "the path is not code page 936 text: the game opens it as it is";
            return out;
        case ResolutionRule::Empty:
            out.why = "the path is empty once normalised";
            return out;
        case ResolutionRule::RenderJson:
        case ResolutionRule::RenderJsonMissing:
            ExplainRenderJson(*context, NormalizePath(request), out);
            return out;
        default:
            break;
    }

    std::string clean = NormalizePath(request);
    if (context->MapRewriteActive()) {
        const auto lookUp = [&context](std::string_view key) { return context->mapTable->Find(key); };
        if (std::optional<std::string> rewritten = RewriteMapPath(clean, lookUp)) {
            const std::size_t position = FindMapId(clean);
            const std::string key = MapIdKeyAt(clean, position);
            out.rewrite = MapNote(clean, *rewritten, key, *context->mapTable->Find(key));
            clean = *rewritten;
        }
    }
    if (const std::optional<std::string> candidate = MapFileCandidate(*context, clean)) {
        const bool candidateWon = answer->from == ServedFrom::Virtual ? answer->path == CleanPath(*candidate)
                                                                      : EndsWithPath(answer->path, *candidate);
        if (candidateWon) {
            const std::size_t separator = FindLastSeparator(clean);
            const std::string key = MapIdKeyAt(clean, separator == std::string::npos ? 0 : separator + 1);
            out.rewrite = MapNote(clean, *candidate, key, *context->mapTable->Find(key));
        }
    }

    switch (answer->rule) {
        case ResolutionRule::RootFile:
            out.why = "a game-root file (config.ini, Tavren.exe, menu.res, ...) is always used from the game folder";
            break;
        case ResolutionRule::MapFile:
            out.why = answer->from == ServedFrom::GameFolder
                          ? "a map file (*.wp, *_.pst) is looked for in the mod and base folders first; "
                            "only the game folder holds it"
                          : "a map file (*.wp, *_.pst): the mod and base folders come before the game folder's copy";
            break;
        case ResolutionRule::GameFolderCopy:
            out.why = "the game folder holds the file itself, and its own copy wins over the mod and base";
            break;
        case ResolutionRule::Mod:
            out.why = "the game folder does not hold it, and the selected mod's folder comes before base";
            break;
        case ResolutionRule::Base:
            out.why = context->modFolder.empty() ? "the game folder does not hold it; no mod is selected"
                                                 : "neither the game folder nor the selected mod holds it";
            break;
        case ResolutionRule::BasePack:
            out.why = "a pack of the base folder holds it; such packs rank just before the base folder's own "
                      "files, and neither the game folder nor the mod holds it";
            break;
        case ResolutionRule::Pack:
            out.why = "a pack of the selected mod (or preloaded at start-up) holds it; these packs come "
                      "first of all, even before the game folder's own copy";
            break;
        case ResolutionRule::NotFound:
            out.why = "no pack and no search folder holds it: the game opens its own relative path";
            break;
        default:
            break;  // explained above
    }
    return out;
}

}  // namespace modroute::tool
