// The single configuration object: core settings, the game folder, the
// selected mod, the found mod folders and their configurations.
#pragma once

#include <atomic>
#include <cstdint>
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

    // The private file-data heap's limit in MiB (0: no limit), read with the
    // settings file; 512 until then.
    static std::uint32_t MaxMemoryMB();

    // The steps of the full initialisation, in the order it runs them.
    // Rebuilds the mod folder list and adds the configurations found; always true.
    bool ScanModFolders();
    // Loads a configuration for every found mod that has none yet.
    void InitializeDefaultModConfigs();
    // Creates base with a default base.ini when mods exists but base does not;
    // false when either cannot be created.
    bool EnsureBaseFolder();

    // Builds and stores the configuration of one mod (name as listed, code
    // page 936); false when its description file exists but cannot be read.
    bool LoadModConfig(const std::string& modName);
    // Description file readers (UTF-8 paths); false only when the file cannot
    // be read, and then out is untouched.
    static bool ParseIniFile(const std::string& utf8Path, ModInfo& out, const std::string& modName);
    static bool ReadModInfo(const std::string& utf8Path, ModInfo& out);

    SnDirectoryMap& GetSnDirectoryMap() { return m_snDirectoryMap; }
    const SnDirectoryMap& GetSnDirectoryMap() const { return m_snDirectoryMap; }

    // Tests only: forget everything and start again as if the game lived in
    // gameFolderUtf8 (empty: the folder of the running executable).
    void ResetForTesting(const std::string& gameFolderUtf8 = "");

private:
    ConfigManager() = default;

    void DetermineGameFolder();

    CoreSettings m_settings;
    SnDirectoryMap m_snDirectoryMap;
    std::map<std::string, ModConfig> m_modConfigs;
    std::string m_gameFolderUtf8;
    std::string m_gameFolderAnsi;
    std::vector<ModFolder> m_modFolders;
    // Guards m_modFolders and m_modConfigs against readers during the scan.
    mutable std::mutex m_tablesLock;
    std::mutex m_fullInitLock;
    std::mutex m_earlyInitLock;
    std::atomic<bool> m_coreSettingsRead{false};
    std::atomic<bool> m_fullyInitialized{false};
    std::string m_gameFolderOverride;
};

}  // namespace modroute
