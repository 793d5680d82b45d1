#include "startup/RouterSetup.h"

#include "common/FileSystem.h"
#include "redirect/SearchPaths.h"

namespace modroute {

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
    ModRouter::Instance().Configure(EarlyRouteContext(ConfigManager::Instance()));
    return true;
}

bool InitializeRouter() {
    ModRouter::Instance().Configure(FullRouteContext(ConfigManager::Instance()));
    return true;
}

}  // namespace modroute
