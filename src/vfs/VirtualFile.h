// The object behind one virtual file handle: an immutable view of a file's
// bytes and the handle's own file position. Several threads may use one
// handle at once; each read or seek is one step under the file's lock.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
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

    const std::string& Path() const { return m_path; }
    std::uint32_t Size() const { return static_cast<std::uint32_t>(m_size); }
    std::string_view Bytes() const;

    // Copies up to count bytes from the position on and advances it; 0 at the end.
    std::uint32_t Read(void* destination, std::uint32_t count);
    // Moves the position (arithmetic modulo 2^32, the result clamped to the
    // size) and gives it: method 0 from the start, 1 from the position,
    // 2 from the end, anything else stays.
    std::uint32_t Seek(std::uint32_t distance, std::uint32_t method);
    std::uint32_t Position() const;

private:
    std::string m_path;
    SharedBytes m_data;
    std::size_t m_offset;
    std::size_t m_size;
    mutable SrwLock m_lock;
    std::uint32_t m_position = 0;
};

}  // namespace modroute
