// What the redirector asks of the virtual file system, kept apart from the
// file system itself so that the redirector sees nothing else of it.
#pragma once

#include <cstdint>
#include <string_view>

namespace modroute {

// Where a file of the virtual file system ranks among the search folders:
// files of the packs preloaded at start-up (the selected mod's, or the base
// folder's when no mod is selected) and of the selected mod's other packs
// come first of all; files known only from the base folder's packs come
// right before the base folder's own files.
enum class VirtualRank { None, First, WithBaseFolder };

class VirtualFileLookup {
public:
    // Whether and where the file system holds the clean path (exactly, or
    // ignoring ASCII case).
    virtual VirtualRank RankOf(std::string_view cleanUtf8Path) const = 0;
    // Changes whenever files are added, so answers given before are dropped.
    virtual std::uint64_t Generation() const = 0;

protected:
    ~VirtualFileLookup() = default;
};

}  // namespace modroute
