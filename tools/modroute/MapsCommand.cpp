// modroute maps <game> [mod] [--mode N]: the maps AutoRes would write into
// the mod's map index, with their numbers, names and where each name comes
// from, and the map table it would publish. Nothing is written.
#include <algorithm>
#include <optional>

#include "Commands.h"
#include "Console.h"
#include "GameView.h"
#include "Json.h"
#include "Options.h"
#include "autores/MapNameFile.h"
#include "common/FileSystem.h"
#include "common/PathText.h"
#include "common/TextEncoding.h"
#include "config/CoreSettingsReader.h"
#include "config/SettingsText.h"
#include "startup/RouterSetup.h"

namespace modroute::tool {
namespace {

constexpr char kUsage[] = "modroute maps <game folder> [mod] [--mode 1|2|3] [--json]";
constexpr std::uint64_t kMaxResBytes = 256u * 1024u * 1024u;

const char* ModeName(std::uint32_t mode) {
    switch (mode) {
        case 1: return "rebuild, written when it differs";
        case 2: return "rebuild, written when it differs";
        case 3: return "append the mod's maps to the base index";
        default: return "off";
    }
}

std::string Relative(const std::string& folder, const std::string& path) {
    if (path.size() > folder.size() + 1 && path.compare(0, folder.size(), folder) == 0) {
        return path.substr(folder.size() + 1);
    }
    return path;
}

// Where a map's name in its block comes from.
std::string NameSource(const MapEntry& entry, const std::string& modFolder) {
    if (entry.isPack) return "pack " + entry.utf8Name + ".pvk: its own name";
    if (!entry.isSn) return "free-named folder: its own name";
    const std::optional<std::string> des = MapDescriptionFile(entry.path);
    if (!des) return "sn folder without a .des file: the folder's name";
    if (ExtractMapName(entry.path, "").empty()) {
        return Relative(modFolder, *des) + " gives no usable name: the folder's name";
    }
    return "from " + Relative(modFolder, *des);
}

void ListMaps(const std::vector<NumberedMap>& maps, const std::string& modFolder) {
    OutLine("number\tkey\tname\tfrom");
    for (const NumberedMap& map : maps) {
        OutLine(std::to_string(map.number) + "\t" + FormatMapKey(map.number) + "\t" + GbkToUtf8(map.entry.mapName) +
                "\t" + NameSource(map.entry, modFolder));
    }
}

std::optional<std::vector<ResMapRecord>> IndexRecords(const std::string& resPath) {
    const std::optional<std::string> bytes = ReadWholeFile(resPath, kMaxResBytes);
    if (!bytes) return std::nullopt;
    return ScanMapBlocks(ResBytes(reinterpret_cast<const std::uint8_t*>(bytes->data()), bytes->size()));
}

void ListIndex(const std::string& resPath) {
    const std::optional<std::vector<ResMapRecord>> records = IndexRecords(resPath);
    if (!records) {
        OutLine("  (no index at " + resPath + ")");
        return;
    }
    OutLine("number\tkey\tname");
    for (const ResMapRecord& record : *records) {
        OutLine(std::to_string(record.number) + "\t" + FormatMapKey(record.number) + "\t" +
                GbkToUtf8(record.internalName));
    }
}

void ListTable(const AutoResPlan& plan) {
    OutLine();
    OutLine("Map table (SnDirectoryMap), " + MapTableSource(plan));
    std::vector<std::pair<std::string, std::string>> entries(plan.table.AllEntries().begin(),
                                                             plan.table.AllEntries().end());
    std::sort(entries.begin(), entries.end());
    if (entries.empty()) OutLine("  empty: snNN paths stay as the game wrote them");
    for (const auto& [key, directory] : entries) OutLine("  " + key + " -> " + directory);
}

std::string WhyNoUpdate(const AutoResPlan& plan) {
    if (!FileExists(plan.baseRes)) return "there is no base index (" + plan.baseRes + ")";
    if (plan.step == AutoResStep::Append) {
        return plan.baseRes + " is shorter than its header or stores a count below 710";
    }
    return plan.baseRes + " is shorter than its header or holds no map block to tell where its game data ends";
}

struct MapsArguments {
    std::string game;
    std::optional<std::string> mod;
    std::optional<std::uint32_t> mode;
    bool json = false;
};

void MapJson(JsonWriter& json, int number, const std::string& gbkName, const std::string& from) {
    json.BeginObject().Field("number", std::int64_t{number}).Field("key", FormatMapKey(number));
    json.Field("name", GbkToUtf8(gbkName)).Field("from", from).EndObject();
}

int WriteMapsJson(const std::string& game, const CoreSettings& settings, const MapsArguments& parsed) {
    JsonWriter json;
    json.BeginObject().Field("command", "maps").Field("game", game).Field("autoRes", std::int64_t{settings.AutoRes});
    json.Field("autoResSource", parsed.mode ? "--mode" : RegistryValueStored("", L"AutoRes") ? "registry" : "default");
    json.Key("mod");
    if (settings.SelectedMod.empty()) json.Null(); else json.String(settings.SelectedMod);
    json.Field("modSource", parsed.mod ? "given" : "ModRoute.ini");
    std::string outcome = "off";
    std::string problem;
    AutoResPlan plan;
    json.Key("maps").BeginArray();
    if (settings.AutoRes != 0 && settings.SelectedMod.empty()) outcome = "no mod selected";
    if (settings.AutoRes != 0 && !settings.SelectedMod.empty()) {
        plan = PlanAutoRes(AutoResSettingsOf(settings), game);
        if (plan.step == AutoResStep::NoModFolder) {
            outcome = "nothing";
            problem = "the mod's folder does not exist";
        } else if (plan.step == AutoResStep::BaseSelected || plan.step == AutoResStep::UpToDate) {
            outcome = plan.step == AutoResStep::BaseSelected ? "base selected: index only read" : "index up to date";
            for (const ResMapRecord& record : IndexRecords(plan.outputRes).value_or(std::vector<ResMapRecord>{})) {
                MapJson(json, record.number, record.internalName, plan.outputRes);
            }
        } else if (!plan.update) {
            outcome = "index kept";
            problem = "no new index can be made: " + WhyNoUpdate(plan);
        } else {
            outcome = plan.step == AutoResStep::Rebuild ? "would rebuild" : "would append";
            for (const NumberedMap& map : plan.update->maps) {
                MapJson(json, map.number, map.entry.mapName, NameSource(map.entry, plan.modFolder));
            }
        }
    }
    json.EndArray().Field("outcome", outcome).Key("problem");
    if (problem.empty()) json.Null(); else json.String(problem);
    json.Key("mapTable").BeginArray();
    std::vector<std::pair<std::string, std::string>> entries(plan.table.AllEntries().begin(),
                                                             plan.table.AllEntries().end());
    std::sort(entries.begin(), entries.end());
    for (const auto& [key, directory] : entries) json.BeginObject().Field("key", key).Field("directory", directory).EndObject();
    OutLine(json.EndArray().EndObject().Text());
    return problem.empty() ? kOk : kProblems;
}

std::optional<MapsArguments> ParseArguments(const Arguments& arguments, std::string& error) {
    constexpr OptionSpec kOptions[] = {{"--mode", true}, {"--json", false}};
    MapsArguments parsed;
    const std::optional<ParsedArguments> options = ParseOptions(arguments, kOptions, error);
    if (!options) return std::nullopt;
    if (const std::optional<std::string> mode = options->Value("--mode")) {
        if (mode->size() != 1 || (*mode)[0] < '1' || (*mode)[0] > '3') {
            error = "--mode takes 1, 2 or 3";
            return std::nullopt;
        }
        parsed.mode = static_cast<std::uint32_t>((*mode)[0] - '0');
    }
    parsed.json = options->Has("--json");
    const std::vector<std::string>& positional = options->positional;
    if (positional.empty() || positional.size() > 2) {
        error = "maps takes a game folder and, optionally, a mod";
        return std::nullopt;
    }
    parsed.game = positional[0];
    if (positional.size() == 2) {
        if (positional[1] != "base" && !IsPlainFolderName(positional[1])) {
            error = "\"" + positional[1] + "\" is not a folder name under mods";
            return std::nullopt;
        }
        parsed.mod = positional[1];
    }
    return parsed;
}

}  // namespace

int RunMaps(const Arguments& arguments) {
    std::string error;
    const std::optional<MapsArguments> parsed = ParseArguments(arguments, error);
    if (!parsed) return BadUsage(error, kUsage);
    const std::string game = GameFolderArgument(parsed->game);
    if (game.empty()) return kCannotRead;

    const std::unique_ptr<ConfigManager> config = ReadConfiguration(game);
    CoreSettings settings = config->Settings();
    if (parsed->mod) settings.SelectedMod = *parsed->mod;
    if (parsed->mode) settings.AutoRes = *parsed->mode;
    if (parsed->json) return WriteMapsJson(game, settings, *parsed);
    OutLine("Game folder  " + game);
    OutLine("AutoRes      " + std::to_string(settings.AutoRes) + " " + ModeName(settings.AutoRes) +
            (parsed->mode ? " (--mode)"
                          : RegistryValueStored("", L"AutoRes") ? " (registry)" : " (default: not in the registry)"));
    OutLine("Mod          " + (settings.SelectedMod.empty() ? std::string("none") : settings.SelectedMod) +
            (parsed->mod                       ? " (given)"
             : settings.SelectedMod.empty()    ? " (no usable SelectedMod in ModRoute.ini)"
                                               : " (ModRoute.ini)"));
    if (settings.AutoRes == 0) {
        OutLine("AutoRes is off: no index is written and the map table stays empty.");
        OutLine("Add --mode 1, 2 or 3 to see what a mode would do.");
        return kOk;
    }
    if (settings.SelectedMod.empty()) {
        OutLine("No mod is selected: AutoRes does nothing.");
        return kOk;
    }

    const AutoResPlan plan = PlanAutoRes(AutoResSettingsOf(settings), game);
    OutLine("Mod folder   " + plan.modFolder);
    if (plan.step == AutoResStep::NoModFolder) {
        OutLine("problem: the mod's folder does not exist: AutoRes does nothing");
        return kProblems;
    }
    OutLine("Index        " + plan.outputRes + (FileExists(plan.outputRes) ? "" : " (not there yet)"));
    OutLine("Base index   " + plan.baseRes + (FileExists(plan.baseRes) ? "" : " (missing)"));
    OutLine();

    bool problems = false;
    switch (plan.step) {
        case AutoResStep::BaseSelected:
            OutLine("base is selected: its index is only read, never written. It lists:");
            ListIndex(plan.outputRes);
            break;
        case AutoResStep::UpToDate:
            OutLine("The index holds what this mode would write: it is left as it is. It lists:");
            ListIndex(plan.outputRes);
            break;
        case AutoResStep::Rebuild:
        case AutoResStep::Append:
            if (!plan.update) {
                OutLine("problem: no new index can be made: " + WhyNoUpdate(plan) + "; the index stays as it is");
                problems = true;
                break;
            }
            OutLine(plan.step == AutoResStep::Rebuild
                        ? "Would write the base index's header and game data, then the mod's maps (sn folders keep their numbers):"
                        : "Would write the whole base index, then the mod's maps it does not list (sn folders keep their numbers):");
            ListMaps(plan.update->maps, plan.modFolder);
            if (const std::optional<std::uint16_t> count = ReadStoredCount(plan.update->bytes)) {
                OutLine("Stored count " + std::to_string(*count) + " (710 + " + std::to_string(*count - kResBaseCount) +
                        " maps), " + Quantity(plan.update->bytes.size(), "byte", "bytes") +
                        "; nothing written by this command");
            }
            break;
        case AutoResStep::Off:
        case AutoResStep::NoModFolder:
            break;
    }
    ListTable(plan);
    return problems ? kProblems : kOk;
}

}  // namespace modroute::tool
