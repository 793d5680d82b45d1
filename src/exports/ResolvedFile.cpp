#include "exports/ResolvedFile.h"

#include <windows.h>

#include <cstring>
#include <string>
#include <utility>

#include "common/FileSystem.h"
#include "common/TextEncoding.h"

namespace modroute {
namespace {

// The file on disk that the answer names (UTF-8); empty when it names none.
std::string DiskPath(const Resolution& answer, std::string_view gbkRequest) {
    switch (answer.from) {
        case ServedFrom::GameFolder:
        case ServedFrom::Mod:
        case ServedFrom::Base:
            return answer.path;
        case ServedFrom::Nowhere:
        case ServedFrom::Unchanged:
            // What the game itself would open: its own request, which a
            // relative path takes from the current folder.
            return GbkToUtf8(gbkRequest);
        case ServedFrom::Virtual:
            break;
    }
    return {};
}

}  // namespace

std::optional<ResolvedFile> ResolvedFile::Open(const Resolution& answer, std::string_view gbkRequest) {
    if (answer.from == ServedFrom::Virtual) {
        std::optional<VirtualFileData> packed = VirtualFileSystem::Instance().ReadVirtualFile(answer.path);
        if (!packed) return std::nullopt;
        return ResolvedFile(std::move(*packed));
    }
    const std::string path = DiskPath(answer, gbkRequest);
    if (path.empty()) return std::nullopt;
    const std::wstring wide = Utf8ToWide(path);
    if (wide.empty()) return std::nullopt;
    HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    // Devices (CON, NUL) have no file information; directories are no files.
    BY_HANDLE_FILE_INFORMATION information;
    if (!GetFileInformationByHandle(file, &information) ||
        (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        CloseHandle(file);
        return std::nullopt;
    }
    const std::uint64_t size = (static_cast<std::uint64_t>(information.nFileSizeHigh) << 32) | information.nFileSizeLow;
    return ResolvedFile(file, size);
}

bool ResolvedFile::Exists(const Resolution& answer, std::string_view gbkRequest) {
    if (answer.from == ServedFrom::Virtual) return true;
    const std::string path = DiskPath(answer, gbkRequest);
    return !path.empty() && FileExists(path);
}

ResolvedFile::ResolvedFile(ResolvedFile&& other) noexcept
    : m_handle(std::exchange(other.m_handle, nullptr)), m_size(other.m_size), m_packed(std::move(other.m_packed)) {}

ResolvedFile::~ResolvedFile() {
    if (m_handle != nullptr) CloseHandle(m_handle);
}

bool ResolvedFile::ReadInto(void* destination, std::uint32_t size) {
    if (m_packed.bytes) {
        if (size > m_packed.size) return false;
        std::memcpy(destination, m_packed.bytes->data() + m_packed.offset, size);
        return true;
    }
    if (m_handle == nullptr) return false;
    auto* bytes = static_cast<std::uint8_t*>(destination);
    std::uint32_t done = 0;
    while (done < size) {
        DWORD read = 0;
        if (!ReadFile(m_handle, bytes + done, size - done, &read, nullptr) || read == 0) return false;
        done += read;
    }
    return true;
}

}  // namespace modroute
