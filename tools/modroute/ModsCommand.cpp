// modroute mods <game>: the mods a game holds, their descriptions, the
// selection, the search path and the settings, without creating anything.
#include <optional>

#include "Commands.h"
#include "Console.h"
#include "GameView.h"
#include "Json.h"
#include "Options.h"
#include "SettingsReport.h"
#include "common/FileSystem.h"
#include "common/PathText.h"
#include "redirect/SearchPaths.h"
#include "startup/BackgroundThreads.h"
#include "startup/RouterSetup.h"
#include "vfs/VirtualFileSystem.h"

namespace modroute::tool {
namespace {

constexpr char kUsage[] = "modroute mods <game folder> [--json]";

std::string Relative(const std::string& gameFolder, const std::string& path) {
    if (path.size() > gameFolder.size() + 1 && path.compare(0, gameFolder.size(), gameFolder) == 0 &&
        IsSeparator(path[gameFolder.size()])) {
        return path.substr(gameFolder.size() + 1);
    }
    return path;
}

// The description file the scan reads for a found folder (the root entry's
// folder is the game folder, and its file is named after it there too).
std::string DescriptionFileOf(const ModFolder& folder) {
    return PathJoin(folder.path, folder.name == "base" ? std::string("base.ini") : folder.name + ".ini");
}

void Field(const char* name, const std::string& value) {
    if (value.empty()) return;
    std::string label = std::string("      ") + name;
    label.resize(20, ' ');
    OutLine(label + value);
}

// Prints one found folder; false when its description file cannot be read.
bool ReportMod(const ConfigManager& config, const ModFolder& folder) {
    const std::string& game = config.GetGameFolder();
    const bool selected = folder.name == config.GetSelectedMod();
    OutLine("  " + folder.name + (selected ? "  (selected)" : "") + "  " + folder.path);
    const std::string description = DescriptionFileOf(folder);
    bool readable = true;
    if (!FileExists(description)) {
        Field("description", "none (" + Relative(game, description) + " missing): defaults");
    } else if (folder.name != "base" && !config.GetModConfig(folder.name)) {
        Field("description", Relative(game, description) + " cannot be read");
        readable = false;
    } else {
        Field("description", Relative(game, description));
    }
    const ModInfo& info = folder.info;
    Field("title", info.title);
    Field("author", info.author);
    Field("version", info.version);
    Field("info", info.info);
    Field("type", info.type);
    Field("website", info.website);
    Field("contact", info.contact);
    Field("image", info.image);
    return readable;
}

std::string PreloadPolicy(std::int32_t level) {
    const std::optional<std::uint64_t> limit = PreloadLimit(level);
    if (!limit) {
        return "EnablePreloadPVK " + std::to_string(level) +
               ": nothing is preloaded; every pack is read on demand through its index";
    }
    return "EnablePreloadPVK " + std::to_string(level) + ": packs up to " + MiB(*limit) +
           ", the game's system packs whatever their size";
}

void DescriptionJson(JsonWriter& json, const ModInfo& info) {
    json.Field("title", info.title).Field("author", info.author).Field("version", info.version);
    json.Field("info", info.info).Field("type", info.type).Field("website", info.website);
    json.Field("contact", info.contact).Field("image", info.image);
}

int WriteModsJson(const ConfigManager& config) {
    const std::string& game = config.GetGameFolder();
    JsonWriter json;
    json.BeginObject().Field("command", "mods").Field("game", game).Key("settings").BeginArray();
    for (const SettingRow& row : SettingRows(config)) {
        json.BeginObject().Field("name", row.name).Field("value", row.value).Field("source", row.source).EndObject();
    }
    bool problems = false;
    json.EndArray().Key("mods").BeginArray();
    for (const ModFolder& folder : config.Mods().GetModFolders()) {
        const std::string description = DescriptionFileOf(folder);
        const bool present = FileExists(description);
        const bool readable = !present || folder.name == "base" || config.GetModConfig(folder.name).has_value();
        problems |= !readable;
        json.BeginObject().Field("name", folder.name).Field("path", folder.path);
        json.Key("selected").Bool(folder.name == config.GetSelectedMod()).Key("descriptionFile");
        if (present) json.String(Relative(game, description)); else json.Null();
        json.Key("descriptionReadable").Bool(readable);
        DescriptionJson(json, folder.info);
        json.EndObject();
    }
    const std::string modFolder = config.GetSelectedModFolder();
    const bool missing = !modFolder.empty() && !DirectoryExists(modFolder);
    json.EndArray().Key("selectedMod");
    if (config.GetSelectedMod().empty()) json.Null(); else json.String(config.GetSelectedMod());
    json.Key("selectedModFolderMissing").Bool(missing).Key("searchPath").BeginArray();
    for (const SearchPath& folder : FullRouteContext(config).searchPaths) {
        json.BeginObject().Field("from", ServedFromName(folder.from)).Field("path", folder.path).EndObject();
    }
    const VirtualFileSystem::Setup setup = VirtualFileSetup(config);
    json.EndArray().Field("preloadFolder", setup.preloadFolder).Field("preloadLevel", setup.preloadLevel);
    json.Key("registeredPacks").BeginArray();
    for (const std::string& pack : PvkIndexFiles(config.GetBaseFolder(), modFolder)) json.String(pack);
    OutLine(json.EndArray().EndObject().Text());
    return problems || missing ? kProblems : kOk;
}

}  // namespace

int RunMods(const Arguments& allArguments) {
    std::string error;
    constexpr OptionSpec kOptions[] = {{"--json", false}};
    const std::optional<ParsedArguments> parsed = ParseOptions(allArguments, kOptions, error);
    if (!parsed) return BadUsage(error, kUsage);
    const Arguments& arguments = parsed->positional;
    if (arguments.size() != 1) return BadUsage("mods takes one game folder", kUsage);
    const std::string game = GameFolderArgument(arguments[0]);
    if (game.empty()) return kCannotRead;

    const std::unique_ptr<ConfigManager> config = ReadConfiguration(game);
    if (parsed->Has("--json")) return WriteModsJson(*config);
    bool problems = false;
    OutLine("Game folder  " + game);
    OutLine();
    ReportSettings(*config);
    OutLine();

    OutLine("Mods found (base first, then the folders of mods in listing order)");
    const std::vector<ModFolder> folders = config->Mods().GetModFolders();
    for (const ModFolder& folder : folders) problems |= !ReportMod(*config, folder);
    if (!DirectoryExists(PathJoin(game, "base")) && DirectoryExists(PathJoin(game, "mods"))) {
        OutLine("  note: no base folder; the DLL creates base with a default base.ini at the game's first start");
    }
    OutLine();

    const std::string& selected = config->GetSelectedMod();
    const std::string modFolder = config->GetSelectedModFolder();
    if (selected.empty()) {
        OutLine("Selected mod  none: the game plays with base and its own files");
    } else if (selected == "base") {
        OutLine("Selected mod  base: the game plays with base and its own files");
    } else if (DirectoryExists(modFolder)) {
        OutLine("Selected mod  " + selected + "  " + modFolder);
    } else {
        OutLine("Selected mod  " + selected + "  problem: " + Relative(game, modFolder) +
                " does not exist, so the game plays with base and its own files");
        problems = true;
    }
    OutLine();

    OutLine("Search path (highest priority first; a file the game folder itself holds is used from there,");
    OutLine("except map files (*.wp, *_.pst), which the mod and base folders may replace)");
    const RouteContext context = FullRouteContext(*config);
    int position = 1;
    for (const SearchPath& folder : context.searchPaths) {
        std::string from = ServedFromName(folder.from);
        from.resize(5, ' ');
        OutLine("  " + std::to_string(position++) + "  " + from + folder.path);
    }
    OutLine();

    const VirtualFileSystem::Setup setup = VirtualFileSetup(*config);
    OutLine("Packs");
    OutLine("  preloaded at start-up  *.pvk of " + setup.preloadFolder);
    OutLine("                         " + PreloadPolicy(setup.preloadLevel));
    const std::vector<std::string> packs = PvkIndexFiles(config->GetBaseFolder(), modFolder);
    OutLine("  registered by the pack index thread" + std::string(packs.empty() ? ": none" : ""));
    for (const std::string& pack : packs) OutLine("    " + Relative(game, pack));
    return problems ? kProblems : kOk;
}

}  // namespace modroute::tool
