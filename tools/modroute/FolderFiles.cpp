#include "FolderFiles.h"

#include <algorithm>
#include <filesystem>

#include "common/PathText.h"

namespace modroute::tool {

std::vector<FolderFile> FilesBelow(const std::string& folder) {
    namespace fs = std::filesystem;
    const auto utf8Of = [](const fs::path& path) {
        const std::u8string text = path.u8string();
        return std::string(text.begin(), text.end());
    };
    std::vector<FolderFile> files;
    const fs::path root(std::u8string(folder.begin(), folder.end()));
    std::error_code error;
    for (fs::recursive_directory_iterator it(root, error), end; !error && it != end; it.increment(error)) {
        if (!it->is_regular_file()) continue;
        FolderFile file;
        file.relative = ToBackslashes(utf8Of(it->path().lexically_relative(root)));
        const std::size_t separator = FindLastSeparator(file.relative);
        file.directory = separator == std::string::npos ? std::string() : file.relative.substr(0, separator);
        file.name = separator == std::string::npos ? file.relative : file.relative.substr(separator + 1);
        file.path = utf8Of(it->path());
        files.push_back(std::move(file));
    }
    std::sort(files.begin(), files.end(),
              [](const FolderFile& a, const FolderFile& b) { return a.relative < b.relative; });
    return files;
}

}  // namespace modroute::tool
