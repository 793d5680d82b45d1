// The file a redirector's answer names, opened for reading whole as the game
// would see it: the mod's, the base folder's or the game folder's copy, a
// packed file of the virtual file system; or, when the answer found nothing
// or leaves the request alone, the request itself, relative to the current
// folder as the game would open it. Files on disk are opened through UTF-16
// with shared reading, so any folder name works. The caller runs inside a
// SystemScope, so the file hooks never see these opens.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "redirect/RouteContext.h"
#include "vfs/VirtualFileSystem.h"

namespace modroute {

class ResolvedFile {
public:
    // Nothing for a directory, a missing or unopenable file, an empty answer,
    // or a packed file the virtual file system cannot supply.
    static std::optional<ResolvedFile> Open(const Resolution& answer, std::string_view gbkRequest);
    // Whether Open would find a plain file to read; a virtual file counts,
    // as the answer only names one that the virtual file system holds.
    static bool Exists(const Resolution& answer, std::string_view gbkRequest);

    ResolvedFile(ResolvedFile&& other) noexcept;
    ResolvedFile& operator=(ResolvedFile&& other) = delete;
    ~ResolvedFile();

    std::uint64_t Size() const { return m_size; }
    // Reads the file's first size bytes; false when fewer are there now.
    bool ReadInto(void* destination, std::uint32_t size);

private:
    ResolvedFile(void* handle, std::uint64_t size) : m_handle(handle), m_size(size) {}
    explicit ResolvedFile(VirtualFileData packed) : m_handle(nullptr), m_size(packed.size), m_packed(std::move(packed)) {}

    void* m_handle;  // the Win32 file handle; null for a packed file and once moved from
    std::uint64_t m_size;
    VirtualFileData m_packed;
};

}  // namespace modroute
