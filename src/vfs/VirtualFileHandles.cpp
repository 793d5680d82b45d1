#include "vfs/VirtualFileHandles.h"

#include <mutex>
#include <new>
#include <shared_mutex>

#include "common/SystemTime.h"
#include "vfs/VirtualFileSystem.h"
#include "vfs/VirtualHandleManager.h"

namespace modroute {

HANDLE CreateVirtualFileHandle(std::string_view utf8Path) {
    try {
        const std::optional<VirtualFileData> data = VirtualFileSystem::Instance().ReadVirtualFile(utf8Path);
        if (!data) return INVALID_HANDLE_VALUE;
        const std::string path(utf8Path);
        HANDLE handle = VirtualHandleManager::Instance().Open(
            std::make_shared<VirtualFile>(path, data->bytes, data->offset, data->size));
        if (handle != INVALID_HANDLE_VALUE) {
            VirtualFileAttributeManager::Instance().SetAttributes(path, static_cast<std::uint32_t>(data->size));
        }
        return handle;
    } catch (const std::bad_alloc&) {
        return INVALID_HANDLE_VALUE;
    }
}

VirtualFileAttributeManager& VirtualFileAttributeManager::Instance() {
    static VirtualFileAttributeManager* instance = new VirtualFileAttributeManager;
    return *instance;
}

void VirtualFileAttributeManager::SetAttributes(const std::string& utf8Path, std::uint32_t size) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    data.dwFileAttributes = FILE_ATTRIBUTE_NORMAL;
    data.ftCreationTime = data.ftLastAccessTime = data.ftLastWriteTime = CurrentFileTime();
    data.nFileSizeLow = size;
    std::unique_lock lock(m_lock);
    m_records.insert_or_assign(utf8Path, data);
}

bool VirtualFileAttributeManager::GetAttributes(const std::string& utf8Path, WIN32_FILE_ATTRIBUTE_DATA& data) const {
    std::shared_lock lock(m_lock);
    const auto found = m_records.find(utf8Path);
    if (found == m_records.end()) return false;
    data = found->second;
    return true;
}

}  // namespace modroute
