// The in-memory store of files unpacked from PVK packs. At start-up it
// preloads the packs of one folder (the selected mod's, or the base folder's)
// under a size policy that always takes the game's system packs; later the
// pack index thread registers the packs of the base and mod folders as
// archives, read on demand. Game threads look files up and read them while
// packs are being registered: tables sit behind a reader-writer lock that is
// never held across a read of a pack, and file data, once loaded, is
// immutable and shared by everyone who reads it.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "common/SrwLock.h"
#include "vfs/VirtualFileLookup.h"
#include "vfs/PvkFile.h"
#include "vfs/VirtualDirectoryTree.h"
#include "vfs/VirtualFile.h"

namespace modroute {

// The bytes of one virtual file: size bytes at offset of a shared buffer.
struct VirtualFileData {
    SharedBytes bytes;
    std::size_t offset = 0;
    std::size_t size = 0;
};

// Size limits of the preload policy by level (EnablePreloadPVK); nothing for
// a level that preloads nothing but system packs.
std::optional<std::uint64_t> PreloadLimit(std::int32_t level);
// The game's own pack names (Common.pvk, waves.pvk, ...), preloaded whatever their size.
bool IsSystemPvk(std::string_view fileName);

class VirtualFileSystem final : public VirtualFileLookup {
public:
    // The process-wide file system; never destroyed, as hooks may read it
    // while the process's statics are torn down.
    static VirtualFileSystem& Instance();
    VirtualFileSystem() = default;

    struct Setup {
        std::int32_t preloadLevel = 3;
        std::string preloadFolder;  // whose packs are preloaded (UTF-8)
        std::string baseFolder;     // packs registered from here rank with the base folder
    };
    // Preloads the packs of the setup's folder once; true also when already done.
    bool Initialize(const Setup& setup);
    // Preloads the packs of a folder under the policy.
    void LoadPvkFilesInDirectory(const std::string& folder);
    // Registers a pack as an archive: its index now, its data on demand. A
    // pack that cannot be read is ignored.
    bool LoadPvkIndex(const std::string& packPath);

    VirtualRank RankOf(std::string_view cleanPath) const override;
    std::uint64_t Generation() const override { return m_generation.load(std::memory_order_acquire); }
    bool HasFile(std::string_view path) const { return RankOf(CleanKey(path)) != VirtualRank::None; }
    // "[VFS]" and the cleaned path when the file system holds it, else empty.
    std::string MakeVfsPath(std::string_view path) const;

    // The file's bytes: from the preloaded table (exactly, then ignoring
    // ASCII case), from the registered archives, and finally a map's file
    // named after its id looked up inside the map's folder (sn05.wp as
    // sn05\sn05.wp).
    std::optional<VirtualFileData> ReadVirtualFile(std::string_view path);
    // The size the tables know, without reading anything.
    std::optional<std::uint32_t> SizeOf(std::string_view path) const;
    // The pack a read of the file is served from, as ReadVirtualFile looks:
    // the preloaded entry's pack, else the first registered archive of the
    // best rank that holds it. Nothing when no table knows the file.
    std::optional<std::string> PackOf(std::string_view path) const;

    // Directory searches.
    bool IsVirtualDirectory(std::string_view path) const;
    std::vector<VirtualDirectoryTree::Listed> List(std::string_view folder) const;

    std::size_t FileCount() const;

private:
    // A preloaded file; its data is the slice of the pack's content block.
    struct Entry {
        PvkEntry record;     // name and directory in UTF-8
        std::string source;  // the pack it came from
        SharedBytes block;
        std::uint32_t dataOffset = 0;
    };
    struct Archive {
        PvkArchive pack;
        VirtualRank rank = VirtualRank::First;
        std::unordered_map<std::string, std::string> keyIgnoringCase;  // lower-case key -> key
    };

    static std::string CleanKey(std::string_view path);
    void AddEntries(const std::string& packPath, PvkFileContents contents);
    const Entry* FindEntry(const std::string& key) const;
    const PvkRange* FindInArchive(const Archive& archive, const std::string& key) const;
    // The archive a read on demand takes the file from, with the file's range.
    std::optional<std::pair<std::string, PvkRange>> FindInArchivesLocked(const std::string& key) const;
    VirtualRank RankOfLocked(std::string_view key) const;
    // Records that a table holds key (or a key that reads the same ignoring
    // ASCII case) at rank; the better rank stands.
    void NoteRankLocked(std::string_view key, VirtualRank rank);
    void RebuildRanksLocked();
    std::optional<VirtualFileData> ReadFromArchives(const std::string& key);
    std::optional<VirtualFileData> ReadOnce(const std::string& key);

    mutable SrwLock m_lock;
    std::unordered_map<std::string, Entry> m_files;
    std::unordered_map<std::string, std::string> m_keyIgnoringCase;  // lower-case key -> first key stored
    std::map<std::string, Archive> m_archives;                      // by pack path
    struct FoldedHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
    };
    // Every file of the preloaded table and the archives by its lower-case
    // key, with its best rank: a first open asks once, not every archive.
    std::unordered_map<std::string, VirtualRank, FoldedHash, std::equal_to<>> m_rankIgnoringCase;
    VirtualDirectoryTree m_tree;
    Setup m_setup;
    bool m_initialized = false;
    std::atomic<std::uint64_t> m_generation{1};
};

}  // namespace modroute
