#include "vfs/VirtualFile.h"

#include <algorithm>
#include <cstring>

#include "common/SystemScope.h"

namespace modroute {
namespace {

// A temporary file holding bytes, gone when its last handle closes; null on failure.
HANDLE TemporaryFileWith(std::string_view bytes, std::uint64_t position) {
    wchar_t folder[MAX_PATH];
    wchar_t path[MAX_PATH];
    const DWORD length = GetTempPathW(MAX_PATH, folder);
    if (length == 0 || length >= MAX_PATH || GetTempFileNameW(folder, L"mrv", 0, path) == 0) return nullptr;
    HANDLE file = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        DeleteFileW(path);
        return nullptr;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 0x40000000));
        if (!WriteFile(file, bytes.data() + done, wanted, &written, nullptr) || written == 0) {
            CloseHandle(file);
            return nullptr;
        }
        done += written;
    }
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(position);
    SetFilePointerEx(file, at, nullptr, FILE_BEGIN);
    return file;
}

}  // namespace

VirtualFile::VirtualFile(std::string path, SharedBytes data, std::size_t offset, std::size_t size)
    : m_path(std::move(path)), m_data(std::move(data)), m_offset(offset), m_size(size) {}

VirtualFile::VirtualFile(std::string path, SharedBytes data)
    : VirtualFile(std::move(path), data, 0, data ? data->size() : 0) {}

VirtualFile::~VirtualFile() {
    if (m_real.load() == nullptr) return;
    const SystemScope scope;
    CloseHandle(m_real.load());
}

std::string_view VirtualFile::Bytes() const {
    if (!m_data || m_size == 0) return {};
    return {reinterpret_cast<const char*>(m_data->data()) + m_offset, m_size};
}

std::uint32_t VirtualFile::Read(void* destination, std::uint32_t count) {
    std::lock_guard lock(m_lock);
    if (m_position >= m_size) return 0;
    const auto copied = static_cast<std::uint32_t>(std::min<std::uint64_t>(count, m_size - m_position));
    std::memcpy(destination, m_data->data() + m_offset + m_position, copied);
    m_position += copied;
    return copied;
}

std::uint32_t VirtualFile::ReadAt(std::uint64_t offset, void* destination, std::uint32_t count) {
    {
        std::lock_guard lock(m_lock);
        m_position = offset;
    }
    return Read(destination, count);
}

std::optional<std::uint64_t> VirtualFile::Seek(std::int64_t distance, DWORD method, DWORD& error) {
    std::lock_guard lock(m_lock);
    std::int64_t from = 0;
    switch (method) {
        case FILE_BEGIN: break;
        case FILE_CURRENT: from = static_cast<std::int64_t>(m_position); break;
        case FILE_END: from = static_cast<std::int64_t>(m_size); break;
        default: error = ERROR_INVALID_PARAMETER; return std::nullopt;
    }
    // Sizes and positions stay far below 2^63: the sum cannot overflow.
    const std::int64_t target = from + distance;
    if (target < 0) {
        error = ERROR_NEGATIVE_SEEK;
        return std::nullopt;
    }
    m_position = static_cast<std::uint64_t>(target);
    return m_position;
}

HANDLE VirtualFile::MakeReal() {
    std::lock_guard lock(m_lock);
    if (m_real.load() == nullptr) {
        const SystemScope scope;
        const DWORD lastError = GetLastError();
        m_real.store(TemporaryFileWith(Bytes(), m_position), std::memory_order_release);
        SetLastError(lastError);
    }
    return m_real.load();
}

// Read on every call on the handle: no lock.
HANDLE VirtualFile::MadeReal() const { return m_real.load(std::memory_order_acquire); }

}  // namespace modroute
