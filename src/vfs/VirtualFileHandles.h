// Files of the virtual file system opened as virtual handles, and the
// attributes of the files opened so.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <unordered_map>

#include "common/SrwLock.h"

namespace modroute {

// Opens a file of the virtual file system (UTF-8 path); INVALID_HANDLE_VALUE
// when the file system cannot supply it. The handle reads the file system's
// own bytes: nothing is copied.
HANDLE CreateVirtualFileHandle(std::string_view utf8Path);

// The attributes of virtual files that were opened: normal files with the
// time of their last open. Attribute queries of such a path answer from here.
class VirtualFileAttributeManager {
public:
    static VirtualFileAttributeManager& Instance();
    void SetAttributes(const std::string& utf8Path, std::uint32_t size);
    bool GetAttributes(const std::string& utf8Path, WIN32_FILE_ATTRIBUTE_DATA& data) const;

private:
    mutable SrwLock m_lock;
    std::unordered_map<std::string, WIN32_FILE_ATTRIBUTE_DATA> m_records;
};

}  // namespace modroute
