// The index of the game resources a mod's folder supplies: a fixed list of
// top-level folder, file and map names, probed one by one (538 existence
// tests, no directory listing), with each found path's last-write time. An
// index is rebuilt only when the mod's settings file or one of four large
// packs changed after it was built. Every operation of the table holds its
// lock. Paths are UTF-8. On the real disk, the probes of the folder the file
// index walks are answered from it.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "resources/ResourceRuleText.h"

namespace modroute {

struct ModFileIndexEntry {
    std::string name;  // as the probe list spells it, whatever the folder's letter case
    ResourceMode mode = ResourceMode::ModExclusive;
    bool isFile = false;
    std::string fullPath;    // mod folder joined with name
    std::uint64_t mtime = 0;  // seconds since 1970; 0 when it could not be read
};

struct ModFileIndex {
    std::vector<ModFileIndexEntry> entries;  // in probe order, so the rules seeded from it are too
    std::uint64_t buildTime = 0;             // seconds since 1970 when the build started

    const ModFileIndexEntry* Find(std::string_view name) const;
};

// What an index build asks of the disk and the clock; tests count the calls.
class ModFolderProbes {
public:
    virtual ~ModFolderProbes() = default;
    virtual bool DirectoryExists(std::string_view utf8Path) = 0;
    virtual bool FileExists(std::string_view utf8Path) = 0;
    virtual std::uint64_t FileTime(std::string_view utf8Path) = 0;  // seconds since 1970, 0 when unknown
    virtual std::uint64_t Now() = 0;                                // seconds since 1970
};

// The real disk and clock.
ModFolderProbes& DiskProbes();

// The indexes of all mods by mod name, with the lock that guards them.
class ModFileIndexTable {
public:
    explicit ModFileIndexTable(ModFolderProbes& probes = DiskProbes()) : m_probes(probes) {}
    ModFileIndexTable(const ModFileIndexTable&) = delete;
    ModFileIndexTable& operator=(const ModFileIndexTable&) = delete;

    // Probes the mod folder and stores the new index in place of any earlier
    // one; a folder that does not exist gives an index without entries.
    bool BuildModFileIndex(const std::string& modName, const std::string& modFolderUtf8);
    // True when an index is stored and neither the settings file
    // (<modFolder>\<modName>.ini) nor an important pack it holds is newer than
    // at the build. Changes to anything else leave it current.
    bool IsModFileIndexCurrent(const std::string& modName, const std::string& modFolderUtf8);
    // A copy of the mod's index, rebuilt first when it is missing or not
    // current; none for an empty name or "base", which have no index.
    std::optional<ModFileIndex> GetModFileIndex(const std::string& modName, const std::string& modFolderUtf8);

private:
    void BuildLocked(const std::string& modName, const std::string& modFolderUtf8);
    bool IsCurrentLocked(const std::string& modName, const std::string& modFolderUtf8);

    ModFolderProbes& m_probes;
    std::mutex m_lock;
    std::unordered_map<std::string, ModFileIndex> m_indexes;
};

}  // namespace modroute
