#include "autores/SnDirectoryMap.h"

namespace modroute {

std::optional<std::string> SnDirectoryMap::Find(std::string_view key) const {
    const auto found = m_entries.find(std::string(key));
    if (found == m_entries.end()) return std::nullopt;
    return found->second;
}

}  // namespace modroute
