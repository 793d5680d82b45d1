#include "vfs/VirtualFileSystem.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <mutex>
#include <shared_mutex>

#include "common/FileSystem.h"
#include "common/MapId.h"
#include "common/PathText.h"
#include "common/SystemScope.h"
#include "common/TextEncoding.h"
#include "resources/GameNames.h"

namespace modroute {
namespace {

constexpr std::uint64_t kMiB = 1024 * 1024;

std::optional<std::uint64_t> FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    const std::wstring wide = Utf8ToWide(path);
    if (wide.empty() || !GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool ShouldPreload(const std::string& packPath, std::optional<std::uint64_t> limit) {
    if (IsSystemPvk(GetFileName(packPath))) return true;
    if (!limit) return false;
    const std::optional<std::uint64_t> size = FileSize(packPath);
    return size && *size <= *limit;
}

std::string FolderOf(std::string_view path) {
    const std::size_t separator = FindLastSeparator(path);
    return separator == std::string_view::npos ? std::string() : std::string(path.substr(0, separator));
}

bool SameFolder(std::string_view a, std::string_view b) {
    while (!a.empty() && IsSeparator(a.back())) a.remove_suffix(1);
    while (!b.empty() && IsSeparator(b.back())) b.remove_suffix(1);
    return !a.empty() && EqualsIgnoringAsciiCase(a, b);
}

// A map's file named after its id (sn05.wp): its number, 1 to 255, else nothing.
std::optional<int> MapIdNumber(std::string_view stem) {
    const SnDigits digits = ReadSnDigits(stem);
    if (digits.count == 0 || digits.number < 1 || digits.number > kMaxMapNumber) return std::nullopt;
    return digits.number;
}

VirtualFileData Whole(std::vector<std::uint8_t> bytes) {
    const std::size_t size = bytes.size();
    return {std::make_shared<const std::vector<std::uint8_t>>(std::move(bytes)), 0, size};
}

}  // namespace

std::optional<std::uint64_t> PreloadLimit(std::int32_t level) {
    switch (level) {
        case 1: return 50 * kMiB;
        case 2: return 100 * kMiB;
        case 3: return 150 * kMiB;
        default: return level <= 0 ? std::nullopt : std::optional<std::uint64_t>(300 * kMiB);
    }
}

bool IsSystemPvk(std::string_view fileName) {
    const std::size_t dot = fileName.rfind('.');
    const std::string_view stem = dot == std::string_view::npos ? fileName : fileName.substr(0, dot);
    for (std::string_view name : kSystemPacks) {
        if (EqualsIgnoringAsciiCase(stem, name)) return true;
    }
    return false;
}

VirtualFileSystem& VirtualFileSystem::Instance() {
    static VirtualFileSystem* instance = new VirtualFileSystem;
    return *instance;
}

std::string VirtualFileSystem::CleanKey(std::string_view path) { return CleanPath(path); }

bool VirtualFileSystem::Initialize(const Setup& setup) {
    try {
        {
            std::unique_lock lock(m_lock);
            if (m_initialized) return true;
            m_setup = setup;
        }
        if (setup.preloadLevel >= 1) LoadPvkFilesInDirectory(setup.preloadFolder);
        std::unique_lock lock(m_lock);
        m_initialized = true;
        return true;
    } catch (...) {
        return false;
    }
}

void VirtualFileSystem::LoadPvkFilesInDirectory(const std::string& folder) {
    const SystemScope scope;
    std::optional<std::uint64_t> limit;
    {
        std::shared_lock lock(m_lock);
        limit = PreloadLimit(m_setup.preloadLevel);
    }
    if (!DirectoryExists(folder)) return;
    for (const std::string& name : ListFiles(folder, ".pvk")) {
        const std::string packPath = PathJoin(folder, name);
        if (!ShouldPreload(packPath, limit)) continue;
        PvkFileContents contents;
        const PvkReadStatus status = ParsePvkFile(packPath, contents);
        if (status == PvkReadStatus::Ok) {
            AddEntries(packPath, std::move(contents));
        } else if (status == PvkReadStatus::OutOfMemory) {
            LoadPvkIndex(packPath);  // too large to hold: its files are read on demand
        }
    }
}

void VirtualFileSystem::AddEntries(const std::string& packPath, PvkFileContents contents) {
    std::unique_lock lock(m_lock);
    for (PvkEntry& record : contents.entries) {
        // A file whose data the pack does not hold (a pack cut short) is not
        // the pack's to serve: the disk's copy stays in reach.
        if (record.key.empty() || !record.hasData) continue;
        record.name = ToUtf8IfNeeded(record.name, GbkToUtf8);
        record.directory = ToUtf8IfNeeded(record.directory, GbkToUtf8);
        Entry entry{record, packPath, contents.content, record.dataOffset};
        m_keyIgnoringCase.emplace(ToLowerAscii(record.key), record.key);
        NoteRankLocked(record.key, VirtualRank::First);
        if (!record.otherKey.empty()) {
            m_keyIgnoringCase.emplace(ToLowerAscii(record.otherKey), record.key);
            NoteRankLocked(record.otherKey, VirtualRank::First);
        }
        m_tree.AddFile(record.key, record.size);
        m_files.insert_or_assign(record.key, std::move(entry));
    }
    m_generation.fetch_add(1, std::memory_order_acq_rel);
}

bool VirtualFileSystem::LoadPvkIndex(const std::string& packPath) {
    const SystemScope scope;
    std::optional<PvkArchive> pack = LoadPvkArchiveIndex(packPath);
    if (!pack) return false;
    Archive archive;
    archive.pack = std::move(*pack);
    for (const auto& [key, range] : archive.pack.index) archive.keyIgnoringCase.emplace(ToLowerAscii(key), key);
    // Bytes that read two ways are found by either name, listed by the one taken.
    for (const auto& [other, key] : archive.pack.otherKeys) archive.keyIgnoringCase.emplace(ToLowerAscii(other), key);

    std::unique_lock lock(m_lock);
    const std::string folder = FolderOf(packPath);
    archive.rank = !SameFolder(folder, m_setup.preloadFolder) && SameFolder(folder, m_setup.baseFolder)
                       ? VirtualRank::WithBaseFolder
                       : VirtualRank::First;
    // Answers change only when the pack brings a file, or a better rank for one.
    bool changes = false;
    for (const auto& [key, range] : archive.pack.index) {
        const VirtualRank known = RankOfLocked(key);
        if (known == VirtualRank::None || (known == VirtualRank::WithBaseFolder && archive.rank == VirtualRank::First)) {
            changes = true;
        }
        m_tree.AddFile(key, range.size);
    }
    const VirtualRank rank = archive.rank;
    const bool replaced = !m_archives.insert_or_assign(packPath, std::move(archive)).second;
    if (replaced) {
        // The pack's files may have gone: ranks are counted afresh, and
        // answers given before go too.
        RebuildRanksLocked();
        changes = true;
    } else {
        const Archive& added = m_archives.at(packPath);
        for (const auto& [key, range] : added.pack.index) NoteRankLocked(key, rank);
        for (const auto& [other, key] : added.pack.otherKeys) NoteRankLocked(other, rank);
    }
    if (changes) m_generation.fetch_add(1, std::memory_order_acq_rel);
    return true;
}

void VirtualFileSystem::NoteRankLocked(std::string_view key, VirtualRank rank) {
    const auto [place, added] = m_rankIgnoringCase.try_emplace(ToLowerAscii(key), rank);
    if (!added && rank == VirtualRank::First) place->second = VirtualRank::First;
}

void VirtualFileSystem::RebuildRanksLocked() {
    m_rankIgnoringCase.clear();
    for (const auto& [key, entry] : m_files) {
        NoteRankLocked(key, VirtualRank::First);
        if (!entry.record.otherKey.empty()) NoteRankLocked(entry.record.otherKey, VirtualRank::First);
    }
    for (const auto& [path, archive] : m_archives) {
        for (const auto& [key, range] : archive.pack.index) NoteRankLocked(key, archive.rank);
        for (const auto& [other, key] : archive.pack.otherKeys) NoteRankLocked(other, archive.rank);
    }
}

const VirtualFileSystem::Entry* VirtualFileSystem::FindEntry(const std::string& key) const {
    auto found = m_files.find(key);
    if (found != m_files.end()) return &found->second;
    const auto alias = m_keyIgnoringCase.find(ToLowerAscii(key));
    if (alias == m_keyIgnoringCase.end()) return nullptr;
    found = m_files.find(alias->second);
    return found == m_files.end() ? nullptr : &found->second;
}

const PvkRange* VirtualFileSystem::FindInArchive(const Archive& archive, const std::string& key) const {
    auto found = archive.pack.index.find(key);
    if (found != archive.pack.index.end()) return &found->second;
    const auto alias = archive.keyIgnoringCase.find(ToLowerAscii(key));
    if (alias == archive.keyIgnoringCase.end()) return nullptr;
    found = archive.pack.index.find(alias->second);
    return found == archive.pack.index.end() ? nullptr : &found->second;
}

VirtualRank VirtualFileSystem::RankOfLocked(std::string_view key) const {
    // Every first open of the game asks: folded on the stack when it fits.
    std::array<char, 512> stack;
    std::string heap;
    std::string_view lower;
    if (key.size() <= stack.size()) {
        std::transform(key.begin(), key.end(), stack.begin(), LowerAscii);
        lower = std::string_view(stack.data(), key.size());
    } else {
        heap = ToLowerAscii(key);
        lower = heap;
    }
    const auto found = m_rankIgnoringCase.find(lower);
    return found == m_rankIgnoringCase.end() ? VirtualRank::None : found->second;
}

VirtualRank VirtualFileSystem::RankOf(std::string_view cleanPath) const {
    std::shared_lock lock(m_lock);
    return RankOfLocked(cleanPath);
}

std::string VirtualFileSystem::MakeVfsPath(std::string_view path) const {
    const std::string key = CleanKey(path);
    return HasFile(key) ? "[VFS]" + key : std::string();
}

std::optional<std::uint32_t> VirtualFileSystem::SizeOf(std::string_view path) const {
    const std::string key = CleanKey(path);
    std::shared_lock lock(m_lock);
    if (const Entry* entry = FindEntry(key)) return entry->record.size;
    for (const auto& [packPath, archive] : m_archives) {
        if (const PvkRange* range = FindInArchive(archive, key)) return range->size;
    }
    return std::nullopt;
}

std::optional<std::string> VirtualFileSystem::PackOf(std::string_view path) const {
    const std::string key = CleanKey(path);
    std::shared_lock lock(m_lock);
    if (const Entry* entry = FindEntry(key)) return entry->source;
    if (std::optional<std::pair<std::string, PvkRange>> found = FindInArchivesLocked(key)) return found->first;
    return std::nullopt;
}

std::optional<std::pair<std::string, PvkRange>> VirtualFileSystem::FindInArchivesLocked(const std::string& key) const {
    for (const VirtualRank rank : {VirtualRank::First, VirtualRank::WithBaseFolder}) {
        for (const auto& [path, archive] : m_archives) {
            if (archive.rank != rank) continue;
            if (const PvkRange* found = FindInArchive(archive, key)) return std::make_pair(path, *found);
        }
    }
    return std::nullopt;
}

std::optional<VirtualFileData> VirtualFileSystem::ReadFromArchives(const std::string& key) {
    std::optional<std::pair<std::string, PvkRange>> found;
    std::shared_ptr<const PvkPackFile> file;
    {
        std::shared_lock lock(m_lock);
        found = FindInArchivesLocked(key);
        if (found) file = m_archives.at(found->first).pack.file;
    }
    if (!found || !file) return std::nullopt;
    // Read from the file the index was made of, never from whatever now bears its name.
    std::vector<std::uint8_t> bytes;
    if (!file->ReadRange(found->second.offset, found->second.size, bytes)) return std::nullopt;
    return Whole(std::move(bytes));
}

std::optional<VirtualFileData> VirtualFileSystem::ReadOnce(const std::string& key) {
    {
        std::shared_lock lock(m_lock);
        if (const Entry* entry = FindEntry(key)) return VirtualFileData{entry->block, entry->dataOffset, entry->record.size};
    }
    return ReadFromArchives(key);
}

std::optional<VirtualFileData> VirtualFileSystem::ReadVirtualFile(std::string_view path) {
    const SystemScope scope;
    const std::string key = CleanKey(path);
    if (key.empty()) return std::nullopt;
    if (std::optional<VirtualFileData> data = ReadOnce(key)) return data;
    // A map's file named after its id may sit inside the map's folder.
    const std::string name = GetFileName(key);
    const std::string stem = GetStem(name);
    if (ToLowerAscii(GetExtension(name)) == ".pak" || !MapIdNumber(stem)) return std::nullopt;
    // Looked up once: sn05\sn05.wp is not retried as sn05\sn05\sn05.wp.
    return ReadOnce(CleanKey(stem + "\\" + name));
}

bool VirtualFileSystem::IsVirtualDirectory(std::string_view path) const {
    std::shared_lock lock(m_lock);
    return m_tree.IsDirectory(path);
}

std::vector<VirtualDirectoryTree::Listed> VirtualFileSystem::List(std::string_view folder) const {
    std::shared_lock lock(m_lock);
    return m_tree.List(folder);
}

std::size_t VirtualFileSystem::FileCount() const {
    std::shared_lock lock(m_lock);
    return m_files.size();
}

}  // namespace modroute
