// modroute conflicts <game> [mod] [--all] [--json]: for every path the mod
// and base supply, who wins and who is hidden, with totals.
#include <array>

#include "Commands.h"
#include "Conflicts.h"
#include "Console.h"
#include "Json.h"
#include "Options.h"

namespace modroute::tool {
namespace {

constexpr char kUsage[] = "modroute conflicts <game folder> [mod] [--all] [--json]";
constexpr OptionSpec kOptions[] = {{"--all", false}, {"--json", false}};
constexpr std::array kSources = {Source::ModPack, Source::GameFolder, Source::Mod, Source::BasePack, Source::Base};

struct Totals {
    std::size_t paths = 0;
    std::size_t withHidden = 0;
    std::size_t hidden = 0;
    std::array<std::size_t, kSources.size()> wins{};
};

Totals Count(const std::vector<SuppliedPath>& paths) {
    Totals totals;
    for (const SuppliedPath& path : paths) {
        ++totals.paths;
        totals.hidden += path.HiddenCount();
        if (path.HiddenCount() > 0) ++totals.withHidden;
        if (path.winner) ++totals.wins[static_cast<std::size_t>(path.supplies[*path.winner].source)];
    }
    return totals;
}

void WriteJson(const std::string& game, const std::string& mod, const std::vector<SuppliedPath>& paths, bool all) {
    JsonWriter json;
    json.BeginObject().Field("command", "conflicts").Field("game", game).Key("mod");
    if (mod.empty()) json.Null(); else json.String(mod);
    json.Key("paths").BeginArray();
    for (const SuppliedPath& path : paths) {
        if (!all && path.HiddenCount() == 0) continue;
        json.BeginObject().Field("path", path.path).Field("rule", path.rule).Key("winner");
        if (path.winner) {
            const Supply& winner = path.supplies[*path.winner];
            json.BeginObject().Field("source", SourceName(winner.source)).Field("file", winner.file).EndObject();
        } else {
            json.Null().Field("servedInstead", path.servedInstead);
        }
        json.Key(path.reached ? "hidden" : "unreached").BeginArray();
        for (std::size_t i = 0; i < path.supplies.size(); ++i) {
            if (path.winner && *path.winner == i) continue;
            json.BeginObject()
                .Field("source", SourceName(path.supplies[i].source))
                .Field("file", path.supplies[i].file)
                .EndObject();
        }
        json.EndArray().EndObject();
    }
    const Totals totals = Count(paths);
    json.EndArray().Key("totals").BeginObject();
    json.Field("paths", static_cast<std::int64_t>(totals.paths));
    json.Field("pathsWithHidden", static_cast<std::int64_t>(totals.withHidden));
    json.Field("hidden", static_cast<std::int64_t>(totals.hidden));
    json.Key("wins").BeginObject();
    for (const Source source : kSources) {
        json.Field(SourceName(source), static_cast<std::int64_t>(totals.wins[static_cast<std::size_t>(source)]));
    }
    json.EndObject().EndObject().EndObject();
    OutLine(json.Text());
}

void SupplyLine(const char* role, const Supply& supply, const std::string& game) {
    std::string source = SourceName(supply.source);
    source.resize(12, ' ');
    OutLine(std::string("  ") + role + source + RelativeToGame(game, supply.file));
}

void WriteText(const std::string& game, const std::string& mod, const std::vector<SuppliedPath>& paths, bool all) {
    OutLine("Game folder   " + game);
    OutLine("Selected mod  " + (mod.empty() ? std::string("none") : mod));
    for (const SuppliedPath& path : paths) {
        if (!all && path.HiddenCount() == 0) continue;
        OutLine();
        OutLine(path.path + "  (" + path.rule + ")");
        if (path.winner) {
            SupplyLine("wins    ", path.supplies[*path.winner], game);
        } else {
            OutLine(path.reached ? "  served  " + RelativeToGame(game, path.servedInstead) + " (none of these)"
                                 : "  the game finds nothing by this path; these files are reached by another");
        }
        for (std::size_t i = 0; i < path.supplies.size(); ++i) {
            if (!path.winner || *path.winner != i) SupplyLine(path.reached ? "hidden  " : "        ", path.supplies[i], game);
        }
    }
    const Totals totals = Count(paths);
    OutLine();
    std::string wins;
    for (const Source source : kSources) {
        wins += std::string(wins.empty() ? "" : ", ") + SourceName(source) + " " +
                std::to_string(totals.wins[static_cast<std::size_t>(source)]);
    }
    OutLine("Totals: " + Quantity(totals.paths, "path", "paths") + " supplied, " + std::to_string(totals.withHidden) +
            " with something hidden, " + Quantity(totals.hidden, "file", "files") + " hidden; served from: " + wins);
}

}  // namespace

int RunConflicts(const Arguments& arguments) {
    std::string error;
    const std::optional<ParsedArguments> parsed = ParseOptions(arguments, kOptions, error);
    if (!parsed) return BadUsage(error, kUsage);
    std::string game;
    std::optional<std::string> mod;
    if (const std::optional<int> failed = GameAndMod(parsed->positional, kUsage, game, mod)) return *failed;

    GameView view(game, mod);
    const std::vector<SuppliedPath> paths = SuppliedPaths(view);
    const bool all = parsed->Has("--all");
    if (parsed->Has("--json")) {
        WriteJson(game, view.Config().GetSelectedMod(), paths, all);
    } else {
        WriteText(game, view.Config().GetSelectedMod(), paths, all);
    }
    return kOk;
}

}  // namespace modroute::tool
