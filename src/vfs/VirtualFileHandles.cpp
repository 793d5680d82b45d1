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
        return VirtualHandleManager::Instance().Open(
            std::make_shared<VirtualFile>(std::string(utf8Path), data->bytes, data->offset, data->size));
    } catch (const std::bad_alloc&) {
        return INVALID_HANDLE_VALUE;
    }
}

}  // namespace modroute
