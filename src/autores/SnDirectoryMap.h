// Map from an upper-case map key (SN07) to the selected mod's folder or pack
// name for that map. Filled during full initialisation while game threads may
// already be resolving paths, so every read and write is guarded.
#pragma once

#include <atomic>
#include <optional>
#include <string>
#include <unordered_map>

#include "common/SrwLock.h"

namespace modroute {

class SnDirectoryMap {
public:
    using Entries = std::unordered_map<std::string, std::string>;

    // Exact lookup of an upper-case key such as "SN07".
    std::optional<std::string> Find(const std::string& key) const;
    void Set(const std::string& key, const std::string& directory);
    void Clear();
    // Publishes a finished table at once, so no reader sees half of it.
    void Replace(Entries entries);
    Entries Snapshot() const;

    std::size_t Size() const { return m_size.load(std::memory_order_acquire); }
    bool Empty() const { return Size() == 0; }

    // On when the AutoRes mode is not 0.
    bool IsEnabled() const { return m_enabled.load(std::memory_order_acquire); }
    void SetEnabled(bool enabled) { m_enabled.store(enabled, std::memory_order_release); }

private:
    mutable SrwLock m_lock;
    Entries m_entries;
    std::atomic<std::size_t> m_size{0};
    std::atomic<bool> m_enabled{false};
};

}  // namespace modroute
