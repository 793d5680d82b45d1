#include "vfs/PvkFile.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <new>

#include "common/FileSystem.h"
#include "common/TextEncoding.h"

namespace modroute {
namespace {

// Packs may be replaced or deleted by a mod manager while the game runs.
constexpr DWORD kShareModes = FILE_SHARE_READ | FILE_SHARE_DELETE;
// The index reader's first look at a content block; it reads on only when the
// entry table is longer.
constexpr std::uint32_t kFirstTableRead = 64 * 1024;

class PackReader {
public:
    explicit PackReader(std::string_view utf8Path) {
        const std::wstring wide = Utf8ToWide(utf8Path);
        if (wide.empty()) return;
        m_file = CreateFileW(wide.c_str(), GENERIC_READ, kShareModes, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
        LARGE_INTEGER size = {};
        if (m_file != INVALID_HANDLE_VALUE && GetFileSizeEx(m_file, &size) && size.QuadPart >= 0) {
            m_size = static_cast<std::uint64_t>(size.QuadPart);
            m_open = true;
        }
    }
    ~PackReader() {
        if (m_file != INVALID_HANDLE_VALUE) CloseHandle(m_file);
    }
    PackReader(const PackReader&) = delete;
    PackReader& operator=(const PackReader&) = delete;

    bool IsOpen() const { return m_open; }
    std::uint64_t Size() const { return m_size; }

    // Fills all of bytes from offset; false when the file gives fewer.
    bool ReadAt(std::uint64_t offset, std::span<std::uint8_t> bytes) const {
        LARGE_INTEGER position = {};
        position.QuadPart = static_cast<LONGLONG>(offset);
        if (!SetFilePointerEx(m_file, position, nullptr, FILE_BEGIN)) return false;
        std::size_t done = 0;
        while (done < bytes.size()) {
            const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 0x40000000));
            DWORD read = 0;
            if (!ReadFile(m_file, bytes.data() + done, wanted, &read, nullptr) || read == 0) return false;
            done += read;
        }
        return true;
    }

private:
    HANDLE m_file = INVALID_HANDLE_VALUE;
    std::uint64_t m_size = 0;
    bool m_open = false;
};

// The header in its two steps: the fixed head gives L, which places the second part.
PvkReadStatus ReadHeader(const PackReader& reader, PvkHeader& header) {
    std::array<std::uint8_t, kPvkFixedHeadSize> head;
    if (reader.Size() < head.size() || !reader.ReadAt(0, head)) return PvkReadStatus::ShortHeader;
    const std::optional<PvkHeader> fixedHead = ParsePvkFixedHead(head);
    if (!fixedHead) return PvkReadStatus::NotAPack;
    header = *fixedHead;
    std::array<std::uint8_t, kPvkSecondPartSize> secondPart;
    if (header.End() > reader.Size() || !reader.ReadAt(header.SecondPartOffset(), secondPart)) {
        return PvkReadStatus::ShortHeader;
    }
    ParsePvkSecondPart(secondPart, header);
    return PvkReadStatus::Ok;
}

PvkReadStatus OpenPack(const PackReader& reader, PvkHeader& header) {
    if (!reader.IsOpen()) return PvkReadStatus::CannotOpen;
    return ReadHeader(reader, header);
}

// Reads as much of the block's start as its entry table needs, growing the
// read while the table runs on, so an index costs no read of the data.
std::optional<PvkEntryTable> ReadEntryTable(const PackReader& reader, const PvkContentExtent& content) {
    std::vector<std::uint8_t> bytes;
    std::size_t wanted = std::min(kFirstTableRead, content.size);
    while (true) {
        const std::size_t had = bytes.size();
        bytes.resize(wanted);
        if (!reader.ReadAt(content.offset + had, std::span(bytes).subspan(had))) return std::nullopt;
        PvkEntryTable table = ParsePvkEntryTable(bytes, content.size);
        if (!table.needsMoreBytes) return table;
        wanted = static_cast<std::size_t>(std::min<std::uint64_t>(std::uint64_t{wanted} * 2, content.size));
    }
}

std::int64_t SecondsSince1970() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return static_cast<std::int64_t>(
        FileTimeToUnixSeconds((static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime));
}

}  // namespace

PvkReadStatus ParsePvkFile(std::string_view utf8Path, PvkFileContents& result) {
    result = {};
    const PackReader reader(utf8Path);
    PvkHeader header;
    if (const PvkReadStatus status = OpenPack(reader, header); status != PvkReadStatus::Ok) return status;
    const PvkContentExtent extent = PvkContentInFile(header, reader.Size());
    try {
        auto content = std::make_shared<std::vector<std::uint8_t>>(extent.size);
        if (!reader.ReadAt(extent.offset, *content)) return PvkReadStatus::ReadFailed;
        std::vector<PvkEntry> entries = ParsePvkEntryTable(*content, extent.size).entries;
        NamePvkEntries(entries, utf8Path, GbkToUtf8);
        result.content = std::move(content);
        result.entries = std::move(entries);
    } catch (const std::bad_alloc&) {
        result = {};
        return PvkReadStatus::OutOfMemory;
    }
    return PvkReadStatus::Ok;
}

bool ReadPvkRange(std::string_view utf8Path, std::uint64_t offset, std::uint32_t size,
                  std::vector<std::uint8_t>& out) {
    out.clear();
    const PackReader reader(utf8Path);
    if (!reader.IsOpen() || offset > reader.Size() || size > reader.Size() - offset) return false;
    try {
        out.resize(size);
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (reader.ReadAt(offset, out)) return true;
    out.clear();
    return false;
}

PvkReadStatus ReadPvkTable(std::string_view utf8Path, PvkTable& result) {
    result = {};
    const PackReader reader(utf8Path);
    PvkTable read;
    if (const PvkReadStatus status = OpenPack(reader, read.header); status != PvkReadStatus::Ok) return status;
    read.fileSize = reader.Size();
    read.content = PvkContentInFile(read.header, reader.Size());
    try {
        std::optional<PvkEntryTable> table = ReadEntryTable(reader, read.content);
        if (!table) return PvkReadStatus::ReadFailed;
        NamePvkEntries(table->entries, utf8Path, GbkToUtf8);
        read.table = std::move(*table);
    } catch (const std::bad_alloc&) {
        return PvkReadStatus::OutOfMemory;
    }
    result = std::move(read);
    return PvkReadStatus::Ok;
}

std::optional<PvkArchive> LoadPvkArchiveIndex(std::string_view utf8Path) {
    PvkTable table;
    if (ReadPvkTable(utf8Path, table) != PvkReadStatus::Ok) return std::nullopt;
    try {
        PvkArchive archive;
        archive.path = std::string(utf8Path);
        archive.loadTime = SecondsSince1970();
        archive.index = BuildPvkIndex(table.table.entries, table.content.offset);
        return archive;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

}  // namespace modroute
