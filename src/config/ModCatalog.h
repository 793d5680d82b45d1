// The mods a game folder holds: the scan of its base and mods folders, the
// description of every mod, the configurations built from them, and the base
// folder with a default base.ini that a game with mods gets on its first
// start. The tables are built aside and swapped in whole, so a reader on
// another thread sees either the previous tables or the finished new ones.
// A mod's resource rules come from its file index (538 disk probes on first
// use) and its description file; the scan leaves them out, LoadModConfig and
// LoadResourceRules fill them in. Names and paths are UTF-8.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/SrwLock.h"
#include "config/ModTypes.h"
#include "resources/ModFileIndex.h"

namespace modroute {

class ModCatalog {
public:
    // probes: what the mod file indexes ask of the disk and the clock.
    explicit ModCatalog(std::string gameFolder, ModFolderProbes& probes = DiskProbes())
        : m_gameFolder(std::move(gameFolder)), m_indexes(probes) {}

    // Rebuilds the folder list (base first when present, then each folder of
    // mods in listing order, or the game folder itself as the root entry when
    // neither exists) and adds the configurations found. Always true.
    bool ScanModFolders();
    // Loads a configuration for every found mod that has none yet.
    void InitializeDefaultModConfigs();
    // Creates base with a default base.ini when mods exists but base does not;
    // false when either cannot be created. Never overwrites a file.
    bool EnsureBaseFolder();
    // Builds and stores the configuration of one mod, rules included; false
    // when its description file exists but cannot be read.
    bool LoadModConfig(const std::string& modName);
    // Fills in the resource rules of a stored configuration; false when the
    // mod has none.
    bool LoadResourceRules(const std::string& modName);
    // The index of what the folder mods\<modName> supplies, rebuilt first when
    // the mod's settings file or a large pack changed; none for "base" or an
    // empty name.
    std::optional<ModFileIndex> GetModFileIndex(const std::string& modName);

    std::vector<ModFolder> GetModFolders() const;
    std::optional<ModConfig> GetModConfig(const std::string& modName) const;
    // The folder of the record named "base", else the game folder's "base".
    std::string GetBaseFolder() const;

private:
    // base\base.ini for the base, <name>.ini in the game folder for the game
    // folder's own name, mods\<name>\<name>.ini for any other mod.
    std::string DescriptionFileOf(const std::string& modName) const;
    // The index's rules merged with the [ModConfig] section of descriptionFile.
    std::vector<ResourceRule> ResourceRulesOf(const std::string& modName, const std::string& descriptionFile);

    std::string m_gameFolder;
    ModFileIndexTable m_indexes;  // has a lock of its own
    mutable SrwLock m_lock;  // guards the two tables
    std::vector<ModFolder> m_modFolders;
    std::map<std::string, ModConfig> m_modConfigs;
};

// The description file readers. ParseIniFile resets out for the mod and keeps
// only UTF-8 values; ReadModInfo keeps the file's bytes and what out held for
// keys the file lacks. Both are false only when the file cannot be read, and
// then out is untouched.
bool ParseIniFile(const std::string& path, ModInfo& out, const std::string& modName);
bool ReadModInfo(const std::string& path, ModInfo& out);

}  // namespace modroute
