#include "autores/SnDirectoryMap.h"

#include <mutex>
#include <shared_mutex>

namespace modroute {

std::optional<std::string> SnDirectoryMap::Find(const std::string& key) const {
    std::shared_lock lock(m_lock);
    const auto found = m_entries.find(key);
    if (found == m_entries.end()) return std::nullopt;
    return found->second;
}

void SnDirectoryMap::Set(const std::string& key, const std::string& directory) {
    std::unique_lock lock(m_lock);
    m_entries[key] = directory;
    m_size.store(m_entries.size(), std::memory_order_release);
}

void SnDirectoryMap::Clear() {
    std::unique_lock lock(m_lock);
    m_entries.clear();
    m_size.store(0, std::memory_order_release);
}

void SnDirectoryMap::Replace(Entries entries) {
    std::unique_lock lock(m_lock);
    m_entries = std::move(entries);
    m_size.store(m_entries.size(), std::memory_order_release);
}

SnDirectoryMap::Entries SnDirectoryMap::Snapshot() const {
    std::shared_lock lock(m_lock);
    return m_entries;
}

}  // namespace modroute
