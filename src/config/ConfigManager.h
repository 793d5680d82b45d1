// The single configuration object: core settings, the game folder, the
// selected mod, the found mod folders and their configurations.
#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "autores/SnDirectoryMap.h"
#include "config/CoreSettings.h"
#include "config/ModTypes.h"

namespace modroute {

struct BaseFolderPaths {
    std::string utf8;
    std::string ansi;
};

class ConfigManager {
public:
    static ConfigManager& Instance();

    // Game folder, settings file and registry; runs once, always true.
    bool EarlyInitialize();
    // Mod scan, mod configurations, base folder, AutoRes; runs its body once
    // even when called from two threads at once; a second caller returns only
    // after the first has finished. False only when the mod scan failed.
    bool FullInitialize();
    bool IsFullyInitialized() const;

    const CoreSettings& Settings() const { return m_settings; }
    std::string GetSelectedMod() const;        // UTF-8, empty when none
    std::string GetGameFolderUtf8() const;     // no trailing separator
    std::string GetGameFolderAnsi() const;     // system ANSI code page
    BaseFolderPaths GetBaseFolder() const;
    std::optional<ModConfig> GetModConfig(const std::string& modName) const;
    // A copy of the found mod folders; safe while the full initialisation fills them.
    std::vector<ModFolder> GetModFolders() const;

    SnDirectoryMap& GetSnDirectoryMap() { return m_snDirectoryMap; }
    const SnDirectoryMap& GetSnDirectoryMap() const { return m_snDirectoryMap; }

    // Tests only: forget everything and start again as if the game lived in
    // gameFolderUtf8 (empty: the folder of the running executable).
    void ResetForTesting(const std::string& gameFolderUtf8 = "");

private:
    ConfigManager() = default;

    CoreSettings m_settings;
    SnDirectoryMap m_snDirectoryMap;
    std::map<std::string, ModConfig> m_modConfigs;
    std::string m_gameFolderUtf8;
    std::string m_gameFolderAnsi;
    std::vector<ModFolder> m_modFolders;
    // Guards m_modFolders and m_modConfigs against readers during the scan.
    mutable std::mutex m_tablesLock;
    std::mutex m_fullInitLock;
    std::atomic<bool> m_coreSettingsRead{false};
    std::atomic<bool> m_fullyInitialized{false};
    std::string m_gameFolderOverride;
};

}  // namespace modroute
