#include "startup/RouterSetup.h"

#include "common/FileSystem.h"
#include "redirect/SearchPaths.h"

namespace modroute {

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

RouteContext EarlyRouteContext(const ConfigManager& config) {
    RouteContext context;
    context.gameFolder = config.GetGameFolder();
    context.baseFolder = config.GetBaseFolder();
    context.searchPaths = BuildEarlySearchPaths(context.baseFolder, context.gameFolder);
    return context;
}

RouteContext FullRouteContext(const ConfigManager& config) {
    RouteContext context;
    context.gameFolder = config.GetGameFolder();
    context.baseFolder = config.GetBaseFolder();
    context.modFolder = config.GetSelectedModFolder();
    const bool modFolderExists = !context.modFolder.empty() && DirectoryExists(context.modFolder);
    context.searchPaths =
        BuildSearchPaths(context.modFolder, modFolderExists, context.baseFolder, context.gameFolder);
    if (config.Settings().AutoResEnabled) context.mapTable = config.GetSnDirectoryMap();
    return context;
}

bool InitializeRouterEarly() {
    RouteContext context = EarlyRouteContext(ConfigManager::Instance());
    context.virtualFiles = &VirtualFileSystem::Instance();
    ModRouter::Instance().Configure(std::move(context));
    return true;
}

bool InitializeRouter() {
    RouteContext context = FullRouteContext(ConfigManager::Instance());
    context.virtualFiles = &VirtualFileSystem::Instance();
    ModRouter::Instance().Configure(std::move(context));
    return true;
}

}  // namespace modroute
