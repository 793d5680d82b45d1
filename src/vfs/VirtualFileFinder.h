// One directory search over the virtual file system, and the table of the
// find handles handed out for such searches.
//
// A pattern with '*' or '?' matches every file below the pattern's folder,
// sub-folders included, against the part of its path after that folder
// (so "maps\*.wp" finds maps\a.wp and maps\sub\b.wp); a plain name matches
// the entries directly in the folder. Each match is reported with its own
// name, its size from the tables (no file is read for it) and the time of
// the search.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/SrwLock.h"
#include "vfs/VirtualHandleTable.h"

namespace modroute {

class VirtualFileSystem;

class VirtualFileFinder {
public:
    VirtualFileFinder(const VirtualFileSystem& files, std::string_view utf8Pattern);
    // A search with nothing (more) to find.
    VirtualFileFinder() = default;

    bool HasMatches() const { return !m_matches.empty(); }
    // Fill the caller's find data (names in code page 936); false when no
    // match is left.
    bool FindFirst(WIN32_FIND_DATAA& data);
    bool FindNext(WIN32_FIND_DATAA& data);

private:
    struct Match {
        std::string name;  // UTF-8
        bool isDirectory;
        std::uint32_t size;
    };
    void Fill(const Match& match, WIN32_FIND_DATAA& data) const;

    std::vector<Match> m_matches;
    SrwLock m_lock;  // a game may step one search from two threads
    std::size_t m_index = 0;
};

// Find handles of virtual searches: reserved handle values, like virtual
// file handles, so they never equal a search handle of the system.
class VirtualFindTable : public VirtualHandleTable<VirtualFileFinder> {
public:
    static VirtualFindTable& Instance();
    // Runs FindNext of the handle's search; nothing when the handle is not one.
    std::optional<bool> FindNext(HANDLE handle, WIN32_FIND_DATAA& data);
};

// Fills find data for a virtual directory named by a whole pattern, as the
// system reports a folder searched for by its own name.
void FillDirectoryEntry(std::string_view utf8Name, WIN32_FIND_DATAA& data);

}  // namespace modroute
