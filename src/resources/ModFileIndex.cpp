#include "resources/ModFileIndex.h"

#include <array>
#include <chrono>

#include "common/FileSystem.h"
#include "common/MapId.h"
#include "common/PathText.h"
#include "index/FileIndex.h"
#include "resources/GameNames.h"

namespace modroute {
namespace {

// sn01 to sn99, then sn100 to sn255.
std::string MapFolderName(int number) { return (number < 10 ? "sn0" : "sn") + std::to_string(number); }

// The file index's walk of the selected mod's folder, started before the
// mod scan, answers most of the probes without a disk access; it is waited
// for briefly, since it is usually done first.
constexpr std::uint32_t kIndexWaitMilliseconds = 2000;

class DiskModFolderProbes final : public ModFolderProbes {
public:
    bool DirectoryExists(std::string_view utf8Path) override {
        const IndexAnswer known = FileIndex::Instance().FindWhenWalked(utf8Path, kIndexWaitMilliseconds);
        return known == IndexAnswer::Unknown ? ::modroute::DirectoryExists(utf8Path) : known == IndexAnswer::Folder;
    }
    bool FileExists(std::string_view utf8Path) override {
        const IndexAnswer known = FileIndex::Instance().FindWhenWalked(utf8Path, kIndexWaitMilliseconds);
        return known == IndexAnswer::Unknown ? ::modroute::FileExists(utf8Path) : known == IndexAnswer::File;
    }
    std::uint64_t FileTime(std::string_view utf8Path) override { return GetFileTime(utf8Path); }
    std::uint64_t Now() override {
        const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
        return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::seconds>(sinceEpoch).count());
    }
};

}  // namespace

const ModFileIndexEntry* ModFileIndex::Find(std::string_view name) const {
    for (const ModFileIndexEntry& entry : entries) {
        if (entry.name == name) return &entry;
    }
    return nullptr;
}

ModFolderProbes& DiskProbes() {
    static DiskModFolderProbes probes;
    return probes;
}

bool ModFileIndexTable::BuildModFileIndex(const std::string& modName, const std::string& modFolderUtf8) {
    const std::lock_guard<std::mutex> guard(m_lock);
    BuildLocked(modName, modFolderUtf8);
    return true;
}

bool ModFileIndexTable::IsModFileIndexCurrent(const std::string& modName, const std::string& modFolderUtf8) {
    const std::lock_guard<std::mutex> guard(m_lock);
    return IsCurrentLocked(modName, modFolderUtf8);
}

std::optional<ModFileIndex> ModFileIndexTable::GetModFileIndex(const std::string& modName,
                                                               const std::string& modFolderUtf8) {
    if (modName.empty() || modName == "base") return std::nullopt;
    // One hold of the lock for test, build and copy: two callers never build
    // the same index twice, and none sees one replaced halfway.
    const std::lock_guard<std::mutex> guard(m_lock);
    if (!IsCurrentLocked(modName, modFolderUtf8)) BuildLocked(modName, modFolderUtf8);
    return m_indexes.at(modName);
}

void ModFileIndexTable::BuildLocked(const std::string& modName, const std::string& modFolderUtf8) {
    ModFileIndex index;
    index.buildTime = m_probes.Now();
    const auto probe = [&](std::string_view name, bool isFile) {
        std::string path = PathJoin(modFolderUtf8, name);
        if (!(isFile ? m_probes.FileExists(path) : m_probes.DirectoryExists(path))) return;
        const std::uint64_t mtime = m_probes.FileTime(path);
        index.entries.push_back({std::string(name), ResourceMode::ModExclusive, isFile, std::move(path), mtime});
    };
    for (const std::string_view name : kResourceFolders) probe(name, false);
    for (const std::string_view name : kResourceFiles) probe(name, true);
    for (int number = 1; number <= kMaxMapNumber; ++number) {
        const std::string folder = MapFolderName(number);
        probe(folder, false);
        probe(folder + ".pak", true);
    }
    m_indexes[modName] = std::move(index);
}

bool ModFileIndexTable::IsCurrentLocked(const std::string& modName, const std::string& modFolderUtf8) {
    const auto found = m_indexes.find(modName);
    if (found == m_indexes.end()) return false;
    const ModFileIndex& index = found->second;
    // A deleted file has time 0 and so never counts as changed.
    if (m_probes.FileTime(PathJoin(modFolderUtf8, modName + ".ini")) > index.buildTime) return false;
    for (const std::string_view name : kImportantFiles) {
        const ModFileIndexEntry* entry = index.Find(name);
        if (entry != nullptr && m_probes.FileTime(entry->fullPath) > entry->mtime) return false;
    }
    return true;
}

}  // namespace modroute
