// Gives the redirector and the virtual file system what they work with,
// taken from the configuration.
#pragma once

#include <memory>

#include "autores/AutoRes.h"
#include "config/ConfigManager.h"
#include "redirect/ModRouter.h"
#include "vfs/VirtualFileSystem.h"

namespace modroute {

// The context for accesses made while the library loads: the same search
// list as the full one (the selected mod is known from the early settings;
// one directory check), without the map table that AutoRes has yet to build.
RouteContext EarlyRouteContext(const ConfigManager& config);
// The full context: the selected mod's folder (when it exists), base, game,
// and mapTable when AutoRes is on.
RouteContext FullRouteContext(const ConfigManager& config, std::shared_ptr<const SnDirectoryMap> mapTable = nullptr);

// What AutoRes reads of the core settings.
AutoResSettings AutoResSettingsOf(const CoreSettings& settings);
// Runs AutoRes for the process's configuration and publishes the table it
// returns; the next InitializeRouter hands it to the redirector.
void RunAndPublishAutoRes();

// What the virtual file system preloads: the packs of the selected mod's
// folder; of the base folder when no mod (or "base") is selected; of the game
// folder when the selected mod's folder does not exist.
VirtualFileSystem::Setup VirtualFileSetup(const ConfigManager& config);

// The two steps of start-up that configure the process-wide redirector.
bool InitializeRouterEarly();
bool InitializeRouter();

}  // namespace modroute
