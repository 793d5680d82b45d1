// Reading PVK packs from disk: a whole pack's entries with one read of its
// content block, a byte range of a pack, and a pack's archive index. Paths
// are UTF-8. A pack that declares more than the file holds is read as far as
// the file goes; nothing is allocated beyond the real file size.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "vfs/PvkFormat.h"

namespace modroute {

enum class PvkReadStatus {
    Ok,
    CannotOpen,      // missing, locked, or no size
    NotAPack,        // the first four bytes are not "PVK2"
    ShortHeader,     // the file ends inside its header
    ReadFailed,      // a read of the content block failed
    OutOfMemory,     // no room for the content block
};

struct PvkFileContents {
    // The content block as read, immutable and shared: an entry's data is
    // the slice [dataOffset, dataOffset + size) of it.
    std::shared_ptr<const std::vector<std::uint8_t>> content;
    std::vector<PvkEntry> entries;  // named, in table order
};

// Reads the header, then the whole content block in one read, and parses and
// names its entries. On any status but Ok, result is left empty.
PvkReadStatus ParsePvkFile(std::string_view utf8Path, PvkFileContents& result);

// Exactly size bytes from offset into out; false (and out empty) when the
// file cannot be opened or holds fewer bytes there.
bool ReadPvkRange(std::string_view utf8Path, std::uint64_t offset, std::uint32_t size,
                  std::vector<std::uint8_t>& out);

// A pack kept open for reads on demand, shared for reading and deleting: a
// pack that a mod manager deletes or renames away meanwhile is still read as
// it was indexed, and none can be written over while it is held. Reads at an
// offset from several threads at once.
class PvkPackFile {
public:
    explicit PvkPackFile(std::string_view utf8Path);
    ~PvkPackFile();
    PvkPackFile(const PvkPackFile&) = delete;
    PvkPackFile& operator=(const PvkPackFile&) = delete;

    bool IsOpen() const { return m_open; }
    std::uint64_t Size() const { return m_size; }
    // Fills all of bytes from offset; false when the file gives fewer.
    bool ReadAt(std::uint64_t offset, std::span<std::uint8_t> bytes) const;
    // Exactly size bytes from offset into out; false (and out empty) when
    // the file holds fewer bytes there.
    bool ReadRange(std::uint64_t offset, std::uint32_t size, std::vector<std::uint8_t>& out) const;

private:
    void* m_file;
    std::uint64_t m_size = 0;
    bool m_open = false;
};

// A pack's header and entry table, read without the entries' data.
struct PvkTable {
    PvkHeader header;
    std::uint64_t fileSize = 0;
    PvkContentExtent content;  // the part of the declared content block the file holds
    PvkEntryTable table;       // entries named as the reader names them
};

// Reads the header and as much of the content block as its entry table
// takes. On any status but Ok, result is left empty.
PvkReadStatus ReadPvkTable(std::string_view utf8Path, PvkTable& result);

// A pack registered for reads on demand.
struct PvkArchive {
    std::string path;          // UTF-8
    std::int64_t loadTime = 0;  // seconds since 1970
    PvkIndex index;
    std::map<std::string, std::string> otherKeys;  // a key under its other reading -> the key
    std::shared_ptr<const PvkPackFile> file;  // the very file the index was read from
};

// The pack's archive with the index of every entry whose data the file
// holds; nothing when the file cannot be opened or its header is rejected.
// Reads only the header and the entry table, not the data, and keeps the
// file open for the reads of its data.
std::optional<PvkArchive> LoadPvkArchiveIndex(std::string_view utf8Path);

}  // namespace modroute
