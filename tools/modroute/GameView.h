// A game folder seen offline exactly as the DLL sees it once started: the
// configuration read from ModRoute.ini and the registry, the mods scanned,
// the map table AutoRes would publish, the packs preloaded and registered by
// the pack index thread, and a redirector with the full context. Nothing is
// written into the game folder: the base folder is not created and the
// mod's map index is computed, not rewritten.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "autores/AutoRes.h"
#include "config/ConfigManager.h"
#include "redirect/ModRouter.h"
#include "vfs/VirtualFileSystem.h"

namespace modroute::tool {

// The absolute form of a folder given on the command line; empty when it is
// not an existing folder.
std::string ExistingFolder(const std::string& utf8Path);

// ModRoute.ini and the registry read, the mods scanned: what the full
// initialisation knows before it creates anything. A mod given replaces the
// selection of ModRoute.ini.
std::unique_ptr<ConfigManager> ReadConfiguration(const std::string& gameFolder,
                                                 const std::optional<std::string>& mod = std::nullopt);

class GameView {
public:
    explicit GameView(const std::string& gameFolder, const std::optional<std::string>& mod = std::nullopt);

    const ConfigManager& Config() const { return *m_config; }
    const AutoResPlan& MapPlan() const { return m_mapPlan; }
    const VirtualFileSystem& Files() const { return m_files; }
    ModRouter& Router() { return m_router; }
    const VirtualFileSystem::Setup& PackSetup() const { return m_packSetup; }
    // The packs the pack index thread registers, in its order.
    const std::vector<std::string>& RegisteredPacks() const { return m_registeredPacks; }

private:
    std::unique_ptr<ConfigManager> m_config;
    AutoResPlan m_mapPlan;
    VirtualFileSystem m_files;
    VirtualFileSystem::Setup m_packSetup;
    std::vector<std::string> m_registeredPacks;
    ModRouter m_router;
};

// Where the map table comes from, in a sentence.
std::string MapTableSource(const AutoResPlan& plan);

}  // namespace modroute::tool
