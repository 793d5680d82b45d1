// Map from an upper-case map key (SN07) to the selected mod's folder or pack
// base name (UTF-8) that holds that map. Built whole during the full
// initialisation and then published as an immutable object (see
// Published.h), so game threads never see one half filled.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace modroute {

class SnDirectoryMap {
public:
    using Entries = std::unordered_map<std::string, std::string>;

    SnDirectoryMap() = default;
    explicit SnDirectoryMap(Entries entries) : m_entries(std::move(entries)) {}

    // Exact lookup of an upper-case key such as "SN07".
    std::optional<std::string> Find(std::string_view key) const;
    void Clear() { m_entries.clear(); }

    std::size_t Size() const { return m_entries.size(); }
    bool Empty() const { return m_entries.empty(); }
    const Entries& AllEntries() const { return m_entries; }

private:
    Entries m_entries;
};

}  // namespace modroute
