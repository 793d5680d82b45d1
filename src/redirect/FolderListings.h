// Which files the disk's folders hold, each folder listed once. A lookup of
// a file that is not there costs the file system a scan of its folder
// anyway, since names compare without regard to letter case; one listing per
// folder answers every later lookup in it from memory. A listing is taken
// when its folder is first asked about and kept as long as the object, so it
// does not see files added afterwards: the redirector keeps one per
// generation of its answers, which already stay as first given.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "common/SrwLock.h"

namespace modroute {

class FolderListings {
public:
    // A file (not a folder) exists at the absolute path (UTF-8). A name that
    // a listing cannot speak for (a short 8.3 alias, trailing dots or spaces,
    // a stream) is asked of the file system itself.
    bool FileExists(std::string_view utf8Path);
    // Folders listed so far.
    std::uint64_t ListingsTaken() const;

private:
    using Names = std::unordered_set<std::wstring>;  // folded file names
    std::shared_ptr<const Names> ListingOf(const std::wstring& folder);

    mutable SrwLock m_lock;
    std::unordered_map<std::wstring, std::shared_ptr<const Names>> m_folders;  // by folded folder path
};

}  // namespace modroute
