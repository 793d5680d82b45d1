#include "startup/RouterSetup.h"

#include "common/FileSystem.h"
#include "common/Published.h"
#include "common/StartupGate.h"
#include "redirect/SearchPaths.h"

namespace modroute {
namespace {

// The map table of the last AutoRes run; empty until then.
Published<SnDirectoryMap> g_mapTable{std::make_shared<const SnDirectoryMap>()};

}  // namespace

VirtualFileSystem::Setup VirtualFileSetup(const ConfigManager& config) {
    VirtualFileSystem::Setup setup;
    setup.preloadLevel = config.Settings().EnablePreloadPVK;
    setup.baseFolder = config.GetBaseFolder();
    const std::string modFolder = config.GetSelectedModFolder();
    if (modFolder.empty()) {
        setup.preloadFolder = setup.baseFolder;
    } else {
        setup.preloadFolder = DirectoryExists(modFolder) ? modFolder : config.GetGameFolder();
    }
    return setup;
}

RouteContext FullRouteContext(const ConfigManager& config, std::shared_ptr<const SnDirectoryMap> mapTable) {
    RouteContext context;
    context.gameFolder = config.GetGameFolder();
    context.baseFolder = config.GetBaseFolder();
    context.modFolder = config.GetSelectedModFolder();
    const bool modFolderExists = !context.modFolder.empty() && DirectoryExists(context.modFolder);
    context.searchPaths =
        BuildSearchPaths(context.modFolder, modFolderExists, context.baseFolder, context.gameFolder);
    if (config.Settings().AutoResEnabled) context.mapTable = std::move(mapTable);
    return context;
}

RouteContext EarlyRouteContext(const ConfigManager& config) { return FullRouteContext(config); }

bool InitializeRouterEarly() {
    RouteContext context = EarlyRouteContext(ConfigManager::Instance());
    context.virtualFiles = &VirtualFileSystem::Instance();
    context.fileIndex = &FileIndex::Instance();
    ModRouter::Instance().Configure(std::move(context));
    return true;
}

AutoResSettings AutoResSettingsOf(const CoreSettings& settings) {
    return {settings.AutoRes, settings.SelectedMod, PreloadLimit(settings.EnablePreloadPVK)};
}

void RunAndPublishAutoRes() {
    const ConfigManager& config = ConfigManager::Instance();
    // Published whole, once built: the router's next context takes it up.
    g_mapTable.Publish(std::make_shared<const SnDirectoryMap>(
        RunAutoRes(AutoResSettingsOf(config.Settings()), config.GetGameFolder())));
}

bool InitializeRouter() {
    RouteContext context = FullRouteContext(ConfigManager::Instance(), g_mapTable.Get());
    context.virtualFiles = &VirtualFileSystem::Instance();
    context.fileIndex = &FileIndex::Instance();
    ModRouter::Instance().Configure(std::move(context));
    // Only ever called once AutoRes has run: its table is in place now.
    StartupGate::Instance().Finish(StartupWork::MapTable);
    return true;
}

}  // namespace modroute
