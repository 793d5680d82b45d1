#include "vfs/VirtualFileFinder.h"

#include <cstring>
#include <mutex>

#include "common/GbkText.h"
#include "common/PathText.h"
#include "common/SystemTime.h"
#include "common/TextEncoding.h"
#include "vfs/VirtualFileSystem.h"
#include "vfs/Wildcard.h"

namespace modroute {
namespace {

bool HasWildcard(std::string_view pattern) { return pattern.find_first_of("*?") != std::string_view::npos; }

// The name in code page 936, cut to the 259 bytes the field holds without
// splitting a character.
void CopyName(std::string_view utf8Name, WIN32_FIND_DATAA& data) {
    const std::string gbk = Utf8ToGbk(utf8Name);
    std::size_t length = 0;
    ForEachGbkCharacter(gbk, [&](std::size_t i, std::size_t size) {
        if (i + size <= sizeof data.cFileName - 1 && i == length) length = i + size;
    });
    std::memcpy(data.cFileName, gbk.data(), length);
    data.cFileName[length] = '\0';
}

}  // namespace

VirtualFileFinder::VirtualFileFinder(const VirtualFileSystem& files, std::string_view utf8Pattern) {
    const std::size_t separator = FindLastSeparator(utf8Pattern);
    const std::string_view folder = separator == std::string_view::npos ? std::string_view() : utf8Pattern.substr(0, separator);
    const std::string_view namePattern = separator == std::string_view::npos ? utf8Pattern : utf8Pattern.substr(separator + 1);
    if (HasWildcard(utf8Pattern)) {
        for (const VirtualDirectoryTree::Listed& file : files.FilesBelow(folder)) {
            if (WildcardMatch(file.path, namePattern)) m_matches.push_back({GetFileName(file.path), false, file.size});
        }
    } else {
        for (const VirtualDirectoryTree::Listed& entry : files.List(folder)) {
            const std::string name = GetFileName(entry.path);
            if (WildcardMatch(name, namePattern)) m_matches.push_back({name, entry.isDirectory, entry.size});
        }
    }
}

void VirtualFileFinder::Fill(const Match& match, WIN32_FIND_DATAA& data) const {
    data = WIN32_FIND_DATAA{};
    CopyName(match.name, data);
    data.dwFileAttributes = match.isDirectory ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
    data.nFileSizeLow = match.isDirectory ? 0 : match.size;
    data.ftCreationTime = data.ftLastAccessTime = data.ftLastWriteTime = CurrentFileTime();
}

bool VirtualFileFinder::FindFirst(WIN32_FIND_DATAA& data) {
    {
        std::lock_guard lock(m_lock);
        m_index = 0;
    }
    return FindNext(data);
}

bool VirtualFileFinder::FindNext(WIN32_FIND_DATAA& data) {
    std::lock_guard lock(m_lock);
    if (m_index >= m_matches.size()) return false;
    Fill(m_matches[m_index++], data);
    return true;
}

void FillDirectoryEntry(std::string_view utf8Name, WIN32_FIND_DATAA& data) {
    data = WIN32_FIND_DATAA{};
    CopyName(GetFileName(utf8Name), data);
    data.dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY;
}

VirtualFindTable& VirtualFindTable::Instance() {
    static VirtualFindTable* instance = new VirtualFindTable;
    return *instance;
}

std::optional<bool> VirtualFindTable::FindNext(HANDLE handle, WIN32_FIND_DATAA& data) {
    const std::shared_ptr<VirtualFileFinder> finder = Find(handle);
    if (!finder) return std::nullopt;
    return finder->FindNext(data);
}

}  // namespace modroute
