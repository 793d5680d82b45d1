// modroute check <game> [mod] [--json]: what keeps a mod from working, one
// line each with what to do -- the installed library, ModRoute.ini, the
// description files, every pack, the AutoRes traps and the mod's files that
// a game-folder copy hides. Exit 1 when anything is found.
#include <algorithm>

#include "Commands.h"
#include "Conflicts.h"
#include "Console.h"
#include "FolderFiles.h"
#include "Json.h"
#include "ModMaps.h"
#include "Options.h"
#include "PvkChecks.h"
#include "autores/AutoRes.h"
#include "common/FileSystem.h"
#include "common/MapId.h"
#include "common/PathText.h"
#include "common/TextEncoding.h"
#include "config/TextFileProblems.h"
#include "startup/BackgroundThreads.h"
#include "startup/RouterSetup.h"

namespace modroute::tool {
namespace {

constexpr char kUsage[] = "modroute check <game folder> [mod] [--json]";
constexpr OptionSpec kOptions[] = {{"--json", false}};
constexpr std::uint64_t kMaxTextFileBytes = 16u * 1024u * 1024u;
constexpr std::uint64_t kMaxLibraryBytes = 256u * 1024u * 1024u;
constexpr std::size_t kMostMaps = 255;
constexpr char kRebuildPack[] = "fix the files and rebuild the pack with modroute pvk pack";

struct Finding {
    std::string area;
    std::string file;
    std::string problem;
    std::string advice;
};

class Report {
public:
    explicit Report(std::string game) : m_game(std::move(game)) {}
    void Problem(std::string area, const std::string& file, std::string problem, std::string advice) {
        m_findings.push_back({std::move(area), RelativeToGame(m_game, file), std::move(problem), std::move(advice)});
    }
    void Note(std::string text) { m_notes.push_back(std::move(text)); }
    const std::string& Game() const { return m_game; }
    const std::vector<Finding>& Findings() const { return m_findings; }
    const std::vector<std::string>& Notes() const { return m_notes; }

private:
    std::string m_game;
    std::vector<Finding> m_findings;
    std::vector<std::string> m_notes;
};

// ModRoute's library carries its own export name in its export table.
bool IsModRouteLibrary(const std::string& path) {
    const std::optional<std::string> bytes = ReadWholeFile(path, kMaxLibraryBytes);
    return bytes && bytes->find("InitializeTavrenModSystem") != std::string::npos;
}

void CheckInstall(Report& report) {
    const std::string library = PathJoin(report.Game(), "AVIFIL32.dll");
    const std::string original = PathJoin(report.Game(), "AVIFIL32_original.dll");
    if (!FileExists(library)) {
        report.Problem("install", library, "ModRoute is not installed: the game folder has no AVIFIL32.dll",
                       "copy ModRoute.dll into the game folder and rename it to AVIFIL32.dll");
    } else if (!IsModRouteLibrary(library)) {
        report.Problem("install", library, "this AVIFIL32.dll is not ModRoute (it is another AVI library)",
                       "rename it to AVIFIL32_original.dll, then copy ModRoute.dll in as AVIFIL32.dll");
    } else {
        report.Note("AVIFIL32.dll is ModRoute");
    }
    if (!FileExists(original)) {
        report.Note("no AVIFIL32_original.dll: ModRoute forwards to the system's AVI library");
    } else if (IsModRouteLibrary(original)) {
        report.Problem("install", original, "AVIFIL32_original.dll is ModRoute too, not the game's AVI library",
                       "delete it (ModRoute then forwards to the system's AVI library)");
    } else {
        report.Note("AVIFIL32_original.dll is present: ModRoute forwards to it");
    }
}

void CheckSettingsFile(Report& report, const ConfigManager& config, bool modGiven) {
    const std::string file = PathJoin(report.Game(), "ModRoute.ini");
    const std::optional<std::string> bytes = ReadWholeFile(file, kMaxTextFileBytes);
    if (!bytes) {
        report.Note(FileExists(file) ? "ModRoute.ini cannot be read: no mod is selected"
                                     : "no ModRoute.ini: no mod is selected");
    } else {
        for (TextFileProblem& found : SettingsFileProblems(*bytes, GbkToUtf8)) {
            report.Problem("settings", file, std::move(found.problem), std::move(found.advice));
        }
    }
    const std::string& mod = config.GetSelectedMod();
    const std::string modFolder = config.GetSelectedModFolder();
    if (!modFolder.empty() && !DirectoryExists(modFolder)) {
        std::string folders;
        for (const std::string& name : ListFolders(PathJoin(report.Game(), "mods"))) {
            folders += (folders.empty() ? "" : ", ") + name;
        }
        report.Problem("settings", modFolder,
                       "the " + std::string(modGiven ? "given" : "selected") + " mod " + mod +
                           " has no folder: the game plays with base and its own files",
                       folders.empty() ? "put the mod's folder under mods" : "select one of: " + folders);
    }
}

void CheckDescription(Report& report, const std::string& file) {
    const std::optional<std::string> bytes = ReadWholeFile(file, kMaxTextFileBytes);
    if (!bytes) return;  // a folder without one is described by its name
    for (TextFileProblem& found : DescriptionFileProblems(*bytes)) {
        report.Problem("description", file, std::move(found.problem), std::move(found.advice));
    }
}

void CheckPacks(Report& report, const ConfigManager& config) {
    for (const std::string& pack : PvkIndexFiles(config.GetBaseFolder(), config.GetSelectedModFolder())) {
        PvkTable table;
        const PvkReadStatus status = ReadPvkTable(pack, table);
        if (status == PvkReadStatus::CannotOpen) {
            report.Problem("pack", pack, "cannot be opened: " + LastErrorText(), "close what holds it open");
            continue;
        }
        if (status != PvkReadStatus::Ok) {
            report.Problem("pack", pack,
                           status == PvkReadStatus::NotAPack ? "not a pack: its first four bytes are not PVK2"
                                                             : "its header or entry table cannot be read",
                           kRebuildPack);
            continue;
        }
        for (std::string& problem : PvkTableProblems(table)) {
            report.Problem("pack", pack, std::move(problem), kRebuildPack);
        }
        for (std::string& problem : PvkNameProblems(table, Utf8ToGbkExact)) {
            report.Problem("pack", pack, std::move(problem), kRebuildPack);
        }
    }
}

std::string Names(const std::vector<MapEntry>& maps) {
    std::string names;
    for (const MapEntry& map : maps) names += (names.empty() ? "" : ", ") + map.utf8Name + (map.isPack ? ".pvk" : "");
    return names;
}

void CheckMaps(Report& report, const ConfigManager& config) {
    const std::string modFolder = config.GetSelectedModFolder();
    if (modFolder.empty() || !DirectoryExists(modFolder)) return;
    const CoreSettings& settings = config.Settings();
    const DiscoveredMaps found = ModMaps(modFolder, MapDiscoveryRules{});
    if (settings.AutoRes == 0) {
        if (!found.other.empty()) {
            report.Problem("autores", modFolder,
                           "AutoRes is off, but the mod brings maps with free names (" + Names(found.other) +
                               "): the game never finds them",
                           "set AutoRes to 1, 2 or 3 (HKCU\\SOFTWARE\\TavrenModManager), or name the folders snNN");
        }
        return;
    }
    for (const MapEntry& map : found.other) {
        const std::optional<MapId> id = ReadMapId(map.utf8Name);
        if (!id || map.utf8Name.size() == id->length) continue;
        report.Problem("autores", map.path,
                       "named like map " + MapIdText(id->number) +
                           ": it looks like a copy of a map folder, and AutoRes counts it as one more map",
                       "remove it, or rename it so that its name does not start with sn");
    }
    if (settings.AutoRes == 1 || settings.AutoRes == 2) {
        const std::optional<std::uint64_t> limit = PreloadLimit(settings.EnablePreloadPVK);
        const std::vector<MapEntry> taken = ModMaps(modFolder, RebuildDiscovery(limit)).Combined();
        for (const MapEntry& map : found.other) {
            if (!map.isPack || IsSystemPvk(map.utf8Name + ".pvk")) continue;
            const bool kept = std::any_of(taken.begin(), taken.end(),
                                          [&](const MapEntry& t) { return t.isPack && t.name == map.name; });
            if (kept) continue;
            const std::string size = MiB(FileSizeOf(map.path + ".pvk").value_or(0));
            report.Problem("autores", map.path + ".pvk",
                           "the map pack (" + size + ") is over the EnablePreloadPVK limit (" +
                               (limit ? MiB(*limit) : std::string("none preloaded")) + "): AutoRes leaves it out",
                           "raise EnablePreloadPVK, or unpack the map into a folder");
        }
    }
    const std::size_t count = found.sn.size() + found.other.size();
    if (count > kMostMaps) {
        report.Problem("autores", modFolder,
                       "the mod holds " + std::to_string(count) + " maps, more than the index can hold (255)",
                       "remove maps: those after the 255th are left out");
    }
    const AutoResPlan plan = PlanAutoRes(AutoResSettingsOf(settings), config.GetGameFolder());
    if ((plan.step == AutoResStep::Rebuild || plan.step == AutoResStep::Append) && !plan.update) {
        report.Problem("autores", plan.baseRes, "no readable base index: AutoRes cannot write the mod's index",
                       "put the game's Tavren.res into the base folder");
    }
}

void CheckNames(Report& report, const std::string& folder) {
    if (folder.empty() || !DirectoryExists(folder)) return;
    for (const FolderFile& file : FilesBelow(folder)) {
        if (Utf8ToGbkExact(file.relative)) continue;
        report.Problem("names", file.path,
                       "the game's code page 936 cannot name it: the game's own opens never reach it",
                       "rename it with ASCII or simplified Chinese (GBK) characters");
    }
}

void CheckHidden(Report& report, GameView& view) {
    for (const SuppliedPath& path : SuppliedPaths(view)) {
        if (!path.winner || path.supplies[*path.winner].source != Source::GameFolder) continue;
        for (const Supply& supply : path.supplies) {
            if (supply.source != Source::Mod && supply.source != Source::ModPack) continue;
            report.Problem("hidden", supply.file,
                           path.path + " is hidden by the game folder's own copy (" + path.rule + ")",
                           "remove " + path.path + " from the game folder (base may keep the game's version)");
        }
    }
}

void WriteJson(const Report& report, const std::string& mod) {
    JsonWriter json;
    json.BeginObject().Field("command", "check").Field("game", report.Game()).Key("mod");
    if (mod.empty()) json.Null(); else json.String(mod);
    json.Key("problems").BeginArray();
    for (const Finding& finding : report.Findings()) {
        json.BeginObject()
            .Field("area", finding.area)
            .Field("file", finding.file)
            .Field("problem", finding.problem)
            .Field("advice", finding.advice)
            .EndObject();
    }
    json.EndArray().Key("notes").BeginArray();
    for (const std::string& note : report.Notes()) json.String(note);
    json.EndArray().EndObject();
    OutLine(json.Text());
}

}  // namespace

int RunCheck(const Arguments& arguments) {
    std::string error;
    const std::optional<ParsedArguments> parsed = ParseOptions(arguments, kOptions, error);
    if (!parsed) return BadUsage(error, kUsage);
    std::string game;
    std::optional<std::string> mod;
    if (const std::optional<int> failed = GameAndMod(parsed->positional, kUsage, game, mod)) return *failed;

    GameView view(game, mod);
    const ConfigManager& config = view.Config();
    Report report(game);
    CheckInstall(report);
    CheckSettingsFile(report, config, mod.has_value());
    CheckDescription(report, PathJoin(config.GetBaseFolder(), "base.ini"));
    if (!config.GetSelectedModFolder().empty()) {
        CheckDescription(report, PathJoin(config.GetSelectedModFolder(), config.GetSelectedMod() + ".ini"));
    }
    CheckPacks(report, config);
    CheckMaps(report, config);
    CheckNames(report, config.GetSelectedModFolder());
    CheckNames(report, config.GetBaseFolder());
    CheckHidden(report, view);

    if (parsed->Has("--json")) {
        WriteJson(report, config.GetSelectedMod());
    } else {
        OutLine("Checking " + game + ", mod " +
                (config.GetSelectedMod().empty() ? std::string("none") : config.GetSelectedMod()));
        for (const std::string& note : report.Notes()) OutLine("ok: " + note);
        for (const Finding& finding : report.Findings()) {
            OutLine("problem [" + finding.area + "] " + finding.file + ": " + finding.problem + "; fix: " +
                    finding.advice);
        }
        OutLine(report.Findings().empty() ? "No problems found"
                                          : Quantity(report.Findings().size(), "problem", "problems"));
    }
    return report.Findings().empty() ? kOk : kProblems;
}

}  // namespace modroute::tool
