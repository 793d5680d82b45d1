#include "startup/StartReport.h"

#include "common/FileSystem.h"
#include "common/PathText.h"
#include "common/StartLog.h"
#include "config/CoreSettingsReader.h"
#include "redirect/ModRouter.h"
#include "startup/BackgroundThreads.h"
#include "startup/RouterSetup.h"
#include "vfs/PvkFile.h"
#include "vfs/VirtualFileSystem.h"

namespace modroute {
namespace {

void Setting(std::string_view subkey, const wchar_t* name, const std::string& value) {
    std::string label(subkey);
    if (!label.empty()) label += '\\';
    for (const wchar_t* c = name; *c != L'\0'; ++c) label += static_cast<char>(*c);
    startlog::Line("  " + label + " = " + value + "  (" +
                   (RegistryValueStored(subkey, name) ? "registry" : "default, not in the registry") + ")");
}

const char* ReadFailure(PvkReadStatus status) {
    switch (status) {
        case PvkReadStatus::Ok: return "its index could not be built";
        case PvkReadStatus::CannotOpen: return "it cannot be opened";
        case PvkReadStatus::NotAPack: return "it is not a pack (its first four bytes are not PVK2)";
        case PvkReadStatus::ShortHeader: return "it ends inside its header";
        case PvkReadStatus::ReadFailed: return "its entry table cannot be read";
        case PvkReadStatus::OutOfMemory: return "its entry table does not fit in memory";
    }
    return "unknown";
}

}  // namespace

void OpenStartLog(const ConfigManager& config) {
    const CoreSettings& settings = config.Settings();
    if (!settings.Log) return;
    if (!startlog::Open(PathJoin(config.GetGameFolder(), "ModRoute.log"), StartDetachedThread)) return;
    startlog::Line("ModRoute " MODROUTE_VERSION);
    startlog::Line("game folder: " + config.GetGameFolder());
    startlog::Line("selected mod: " + (settings.SelectedMod.empty() ? std::string("none") : settings.SelectedMod) +
                   "  (" + (settings.SelectedMod.empty() ? "no usable SelectedMod" : "ModRoute.ini") + ")");
    startlog::Line("settings:");
    startlog::Line("  Log = 1  (ModRoute.ini)");
    Setting("", L"AutoRes", std::to_string(settings.AutoRes));
    Setting("", L"EnablePreloadPVK", std::to_string(settings.EnablePreloadPVK));
    Setting("Memory", L"MaxMemoryMB", std::to_string(settings.MaxMemoryMB));
    Setting("Patch", L"ToggleCommand", std::to_string(settings.ToggleCommand));
    Setting("Patch", L"OpenPlay", std::to_string(settings.OpenPlay));
    Setting("Fonts", L"TimesNewRoman", "\"" + settings.TimesNewRoman + "\"");
    Setting("Fonts", L"TimesNewRomanScale", std::to_string(settings.TimesNewRomanScale));
    Setting("Fonts", L"MingLiU", "\"" + settings.MingLiU + "\"");
    Setting("Fonts", L"MingLiUScale", std::to_string(settings.MingLiUScale));
    const std::string modFolder = config.GetSelectedModFolder();
    if (!modFolder.empty() && !DirectoryExists(modFolder)) {
        startlog::Line("problem: the selected mod has no folder " + modFolder +
                       ": the game plays with base and its own files");
    }
    const VirtualFileSystem::Setup setup = VirtualFileSetup(config);
    startlog::Line("packs preloaded from " + setup.preloadFolder + " (EnablePreloadPVK " +
                   std::to_string(setup.preloadLevel) + ")");
}

void LogHooksInstalled(bool installed) {
    startlog::Line(installed ? "file hooks installed" : "problem: the file hooks could not be installed");
}

void LogPackIndexed(const std::string& packPath, bool registered) {
    if (!startlog::IsOpen()) return;
    if (registered) {
        startlog::Line("pack registered: " + packPath);
        return;
    }
    PvkTable table;
    startlog::Line("pack refused: " + packPath + ": " + ReadFailure(ReadPvkTable(packPath, table)));
}

void LogFullStart() {
    if (!startlog::IsOpen()) return;
    const std::shared_ptr<const RouteContext> context = ModRouter::Instance().Context();
    startlog::Line(std::to_string(VirtualFileSystem::Instance().FileCount()) + " files preloaded from packs");
    startlog::Line("search list:");
    for (const SearchPath& folder : context->searchPaths) {
        startlog::Line("  " + std::string(ServedFromName(folder.from)) + "  " + folder.path);
    }
    const std::size_t mapped = context->mapTable ? context->mapTable->Size() : 0;
    startlog::Line(ConfigManager::Instance().Settings().AutoRes == 0
                       ? "AutoRes off"
                       : "AutoRes mode " + std::to_string(ConfigManager::Instance().Settings().AutoRes) +
                             ": map table of " + std::to_string(mapped) + " entries");
}

void LogStartLine(std::string_view utf8) { startlog::Line(utf8); }

}  // namespace modroute
