// The configuration as the rest of the system sees it: the game folder, the
// core settings and the mods (ModCatalog). Brought up in two stages:
// EarlyInitialize on the loader's thread reads only what is cheap (the game
// folder, ModRoute.ini, the registry); FullInitialize on a background thread
// scans the mods and creates the base folder when needed. Each stage runs its
// body once per object.
#pragma once

#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "config/CoreSettings.h"
#include "config/ModCatalog.h"

namespace modroute {

class ConfigManager {
public:
    // The process-wide configuration, of the game the process runs.
    static ConfigManager& Instance();
    // A configuration of the game in gameFolder (UTF-8); empty: the folder of
    // the running executable. probes: what the mod file indexes ask of the
    // disk and the clock.
    explicit ConfigManager(std::string gameFolder = "", ModFolderProbes& probes = DiskProbes());

    // Game folder, ModRoute.ini and registry; runs once, always true.
    bool EarlyInitialize();
    // Mod scan, mod configurations, base folder; runs its body once
    // even when called from two threads at once, and a second caller returns
    // only after the first has finished. False only when the mod scan failed.
    bool FullInitialize();
    bool IsFullyInitialized() const { return m_fullyInitialized.load(std::memory_order_acquire); }
    // Fills in the selected mod's resource rules; false while the selected mod
    // has no configuration (before the full initialisation, or none selected).
    // A few hundred disk probes on first use, so the start-up runs it after
    // the redirector has its full context, and never on the loader's thread.
    bool LoadSelectedModResourceRules();
    // How often the full initialisation's body has run (once, in a working system).

    // Written once by EarlyInitialize, before any other thread reads them.
    const CoreSettings& Settings() const { return m_settings; }
    const std::string& GetGameFolder() const { return m_gameFolder; }
    // The selected mod (UTF-8), empty when none.
    const std::string& GetSelectedMod() const { return m_settings.SelectedMod; }
    // The selected mod's folder (whether or not it exists); empty when no mod
    // is selected or the selection is "base".
    std::string GetSelectedModFolder() const;
    // For offline tools: the game seen as if the mod were selected; called
    // after EarlyInitialize and before the mods are scanned.
    void SelectModForViewing(std::string mod) { m_settings.SelectedMod = std::move(mod); }
    std::string GetBaseFolder() const { return m_mods.GetBaseFolder(); }

    ModCatalog& Mods() { return m_mods; }
    const ModCatalog& Mods() const { return m_mods; }
    // A copy of the mod's configuration, its resource rules included.
    std::optional<ModConfig> GetModConfig(const std::string& modName) const { return m_mods.GetModConfig(modName); }
    std::optional<ModFileIndex> GetModFileIndex(const std::string& modName) { return m_mods.GetModFileIndex(modName); }

private:
    std::string m_gameFolder;
    CoreSettings m_settings;
    ModCatalog m_mods;
    std::mutex m_earlyInitLock;
    std::mutex m_fullInitLock;
    std::atomic<bool> m_coreSettingsRead{false};
    std::atomic<bool> m_fullyInitialized{false};
};

}  // namespace modroute
