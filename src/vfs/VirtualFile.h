// The object behind one virtual file handle: an immutable view of a file's
// bytes and the handle's own file position. Several threads may use one
// handle at once; each read or seek is one step under the file's lock.
//
// Functions that memory does not answer (locks, mappings, duplicates,
// completion routines) are given a real file: the bytes are written once
// into a temporary file deleted on close, and from then on the handle's
// reads and moves go to that file, so every function sees one position.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/SrwLock.h"

namespace modroute {

// Bytes shared by everyone who reads them; never changed once made.
using SharedBytes = std::shared_ptr<const std::vector<std::uint8_t>>;

class VirtualFile {
public:
    // The file is the size bytes at offset of data (all of it by default).
    VirtualFile(std::string path, SharedBytes data, std::size_t offset, std::size_t size);
    VirtualFile(std::string path, SharedBytes data);
    ~VirtualFile();
    VirtualFile(const VirtualFile&) = delete;
    VirtualFile& operator=(const VirtualFile&) = delete;

    const std::string& Path() const { return m_path; }  // UTF-8
    std::uint32_t Size() const { return static_cast<std::uint32_t>(m_size); }
    std::string_view Bytes() const;

    // Copies up to count bytes from the position on and advances it; 0 at or past the end.
    std::uint32_t Read(void* destination, std::uint32_t count);
    // The same from offset, which becomes the position first.
    std::uint32_t ReadAt(std::uint64_t offset, void* destination, std::uint32_t count);
    // Moves the position as the system moves a file's: from the start
    // (FILE_BEGIN), the position or the end, anywhere at or past 0, the end
    // of the data included. Nothing, with the position kept and error set,
    // for a move before the start or an unknown method.
    std::optional<std::uint64_t> Seek(std::int64_t distance, DWORD method, DWORD& error);

    // The real file with the handle's bytes and position, made on the first
    // call; null when none can be made. Afterwards MadeReal gives it.
    HANDLE MakeReal();
    HANDLE MadeReal() const;

private:
    std::string m_path;
    SharedBytes m_data;
    std::size_t m_offset;
    std::size_t m_size;
    mutable SrwLock m_lock;
    std::uint64_t m_position = 0;
    std::atomic<HANDLE> m_real{nullptr};
};

}  // namespace modroute
