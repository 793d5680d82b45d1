#include "vfs/VirtualFile.h"

#include <algorithm>
#include <cstring>

namespace modroute {

VirtualFile::VirtualFile(std::string path, SharedBytes data, std::size_t offset, std::size_t size)
    : m_path(std::move(path)), m_data(std::move(data)), m_offset(offset), m_size(size) {}

VirtualFile::VirtualFile(std::string path, SharedBytes data)
    : VirtualFile(std::move(path), data, 0, data ? data->size() : 0) {}

std::string_view VirtualFile::Bytes() const {
    if (!m_data || m_size == 0) return {};
    return {reinterpret_cast<const char*>(m_data->data()) + m_offset, m_size};
}

std::uint32_t VirtualFile::Read(void* destination, std::uint32_t count) {
    std::lock_guard lock(m_lock);
    if (m_position >= m_size) return 0;
    const auto copied = static_cast<std::uint32_t>(std::min<std::size_t>(count, m_size - m_position));
    std::memcpy(destination, m_data->data() + m_offset + m_position, copied);
    m_position += copied;
    return copied;
}

std::uint32_t VirtualFile::Seek(std::uint32_t distance, std::uint32_t method) {
    std::lock_guard lock(m_lock);
    const auto size = static_cast<std::uint32_t>(m_size);
    std::uint32_t target = m_position;
    switch (method) {
        case 0: target = distance; break;
        case 1: target = m_position + distance; break;
        case 2: target = size + distance; break;
        default: break;
    }
    m_position = std::min(target, size);
    return m_position;
}

std::uint32_t VirtualFile::Position() const {
    std::lock_guard lock(m_lock);
    return m_position;
}

}  // namespace modroute
