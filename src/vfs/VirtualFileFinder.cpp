#include "vfs/VirtualFileFinder.h"

#include <mutex>

namespace modroute {

bool VirtualFileFinder::FindNext(WIN32_FIND_DATAW& data) {
    std::lock_guard lock(m_lock);
    if (m_index >= m_entries.size()) return false;
    data = m_entries[m_index++];
    return true;
}

VirtualFindTable& VirtualFindTable::Instance() {
    static VirtualFindTable* instance = new VirtualFindTable;
    return *instance;
}

std::optional<bool> VirtualFindTable::FindNext(HANDLE handle, WIN32_FIND_DATAW& data) {
    const std::shared_ptr<VirtualFileFinder> finder = Find(handle);
    if (!finder) return std::nullopt;
    return finder->FindNext(data);
}

}  // namespace modroute
