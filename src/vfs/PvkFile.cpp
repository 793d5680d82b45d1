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

using PackReader = PvkPackFile;

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

PvkPackFile::PvkPackFile(std::string_view utf8Path) : m_file(INVALID_HANDLE_VALUE) {
    const std::wstring wide = Utf8ToWide(utf8Path);
    if (wide.empty()) return;
    m_file = CreateFileW(wide.c_str(), GENERIC_READ, kShareModes, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    LARGE_INTEGER size = {};
    if (m_file != INVALID_HANDLE_VALUE && GetFileSizeEx(m_file, &size) && size.QuadPart >= 0) {
        m_size = static_cast<std::uint64_t>(size.QuadPart);
        m_open = true;
    }
}

PvkPackFile::~PvkPackFile() {
    if (m_file != INVALID_HANDLE_VALUE) CloseHandle(m_file);
}

bool PvkPackFile::ReadAt(std::uint64_t offset, std::span<std::uint8_t> bytes) const {
    if (!m_open) return false;
    std::size_t done = 0;
    while (done < bytes.size()) {
        // The offset travels with each read, so threads sharing the file never move each other's position.
        OVERLAPPED at = {};
        const std::uint64_t position = offset + done;
        at.Offset = static_cast<DWORD>(position);
        at.OffsetHigh = static_cast<DWORD>(position >> 32);
        const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 0x40000000));
        DWORD read = 0;
        if (!ReadFile(m_file, bytes.data() + done, wanted, &read, &at) || read == 0) return false;
        done += read;
    }
    return true;
}

bool PvkPackFile::ReadRange(std::uint64_t offset, std::uint32_t size, std::vector<std::uint8_t>& out) const {
    out.clear();
    if (!m_open || offset > m_size || size > m_size - offset) return false;
    try {
        out.resize(size);
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (ReadAt(offset, out)) return true;
    out.clear();
    return false;
}

bool ReadPvkRange(std::string_view utf8Path, std::uint64_t offset, std::uint32_t size,
                  std::vector<std::uint8_t>& out) {
    return PvkPackFile(utf8Path).ReadRange(offset, size, out);
}

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

namespace {

PvkReadStatus ReadTableOf(const PackReader& reader, std::string_view utf8Path, PvkTable& result) {
    result = {};
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

}  // namespace

PvkReadStatus ReadPvkTable(std::string_view utf8Path, PvkTable& result) {
    const PackReader reader(utf8Path);
    return ReadTableOf(reader, utf8Path, result);
}

std::optional<PvkArchive> LoadPvkArchiveIndex(std::string_view utf8Path) {
    try {
        auto file = std::make_shared<const PvkPackFile>(utf8Path);
        PvkTable table;
        if (ReadTableOf(*file, utf8Path, table) != PvkReadStatus::Ok) return std::nullopt;
        PvkArchive archive;
        archive.file = std::move(file);
        archive.path = std::string(utf8Path);
        archive.loadTime = SecondsSince1970();
        archive.index = BuildPvkIndex(table.table.entries, table.content.offset);
        for (const PvkEntry& entry : table.table.entries) {
            if (!entry.otherKey.empty() && archive.index.count(entry.key) != 0) archive.otherKeys[entry.otherKey] = entry.key;
        }
        return archive;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

}  // namespace modroute
