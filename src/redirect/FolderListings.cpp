#include "redirect/FolderListings.h"

#include <windows.h>

#include <mutex>
#include <shared_mutex>

#include "common/FileSystem.h"
#include "common/SystemScope.h"
#include "common/TextEncoding.h"

namespace modroute {
namespace {

// The name as the file system compares it: upper case, Unicode included.
std::wstring Folded(std::wstring text) {
    if (text.empty()) return text;
    const int length = static_cast<int>(text.size());
    std::wstring folded(text.size(), L'\0');
    if (LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, text.data(), length, folded.data(), length, nullptr,
                      nullptr, 0) != length) {
        return text;
    }
    return folded;
}

// Names the file system resolves by more than their letters (a short 8.3
// alias, trailing dots or spaces, a stream): a listing would not find them.
bool ListingCanAnswer(std::wstring_view name) {
    if (name.empty() || name == L"." || name == L"..") return false;
    if (name.back() == L'.' || name.back() == L' ') return false;
    return name.find_first_of(L"~:*?\"<>|") == std::wstring_view::npos;
}

}  // namespace

bool FolderListings::FileExists(std::string_view utf8Path) {
    const std::wstring path = Utf8ToWide(utf8Path);
    const std::size_t separator = path.rfind(L'\\');
    if (path.empty() || separator == std::wstring::npos || separator == 0) return modroute::FileExists(utf8Path);
    const std::wstring folder = path.substr(0, separator);
    const std::wstring_view name = std::wstring_view(path).substr(separator + 1);
    if (!ListingCanAnswer(name)) return modroute::FileExists(utf8Path);
    const std::shared_ptr<const Names> listing = ListingOf(folder);
    return listing->count(Folded(std::wstring(name))) != 0;
}

std::uint64_t FolderListings::ListingsTaken() const {
    std::shared_lock lock(m_lock);
    return m_folders.size();
}

std::shared_ptr<const FolderListings::Names> FolderListings::ListingOf(const std::wstring& folder) {
    const std::wstring key = Folded(folder);
    {
        std::shared_lock lock(m_lock);
        const auto found = m_folders.find(key);
        if (found != m_folders.end()) return found->second;
    }
    // Listed outside the lock: other lookups go on meanwhile. A folder that
    // cannot be listed holds nothing.
    auto names = std::make_shared<Names>();
    {
        const SystemScope scope;
        WIN32_FIND_DATAW data;
        HANDLE search = FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                         nullptr, FIND_FIRST_EX_LARGE_FETCH);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) names->insert(Folded(data.cFileName));
            } while (FindNextFileW(search, &data));
            FindClose(search);
        }
    }
    std::unique_lock lock(m_lock);
    return m_folders.emplace(key, std::move(names)).first->second;
}

}  // namespace modroute
