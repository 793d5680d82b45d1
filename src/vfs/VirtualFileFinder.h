// One directory search answered by the system's library rather than the
// system itself (its entries merged from several folders and packs), and
// the table of the find handles handed out for such searches.
#pragma once

#include <windows.h>

#include <cstddef>
#include <optional>
#include <vector>

#include "common/SrwLock.h"
#include "vfs/VirtualHandleTable.h"

namespace modroute {

class VirtualFileFinder {
public:
    explicit VirtualFileFinder(std::vector<WIN32_FIND_DATAW> entries) : m_entries(std::move(entries)) {}

    // The next entry; false when none is left.
    bool FindNext(WIN32_FIND_DATAW& data);

private:
    std::vector<WIN32_FIND_DATAW> m_entries;
    SrwLock m_lock;  // a game may step one search from two threads
    std::size_t m_index = 0;
};

// Find handles of such searches: reserved handle values, like virtual file
// handles, so they never equal a search handle of the system.
class VirtualFindTable : public VirtualHandleTable<VirtualFileFinder> {
public:
    static VirtualFindTable& Instance();
    // Runs FindNext of the handle's search; nothing when the handle is not one.
    std::optional<bool> FindNext(HANDLE handle, WIN32_FIND_DATAW& data);
};

}  // namespace modroute
