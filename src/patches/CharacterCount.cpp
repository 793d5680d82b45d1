#include "patches/CharacterCount.h"

#include <algorithm>
#include <charconv>
#include <climits>

#include "common/PathText.h"

namespace modroute {
namespace {

constexpr bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Characters, not bytes: a UTF-8 continuation byte does not start one.
std::size_t CountUtf8Characters(std::string_view text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

}  // namespace

std::optional<int> CharacterIndexOf(std::string_view utf8FileName) {
    if (CountUtf8Characters(utf8FileName) < 5) return std::nullopt;
    if (utf8FileName[0] != 'p' && utf8FileName[0] != 'P') return std::nullopt;
    if (!IsDigit(utf8FileName[1])) return std::nullopt;
    const std::size_t dot = utf8FileName.find('.');
    if (dot == std::string_view::npos) return std::nullopt;

    std::string_view indexText = utf8FileName.substr(1, dot - 1);
    indexText = indexText.substr(0, indexText.find('_'));
    if (indexText.empty() || !std::all_of(indexText.begin(), indexText.end(), IsDigit)) return std::nullopt;
    int index = 0;
    const auto [end, error] = std::from_chars(indexText.data(), indexText.data() + indexText.size(), index);
    if (error != std::errc() || end != indexText.data() + indexText.size()) return std::nullopt;
    return index;
}

int LargestCharacterIndex(std::span<const std::string> utf8FileNames) {
    int largest = -1;
    for (const std::string& name : utf8FileNames) {
        if (const auto index = CharacterIndexOf(name)) largest = std::max(largest, *index);
    }
    return largest;
}

int CharacterCountFromLargestIndex(int largestIndex) {
    if (largestIndex == INT_MAX) return INT_MAX;
    return std::max(largestIndex + 1, 1);
}

std::vector<std::string> PmodelFolders(std::string_view utf8GameFolder, std::string_view utf8BaseFolder,
                                       std::string_view utf8SelectedMod) {
    std::vector<std::string> folders;
    if (!utf8GameFolder.empty()) folders.push_back(PathJoin(utf8GameFolder, "pmodel"));
    if (!utf8BaseFolder.empty()) folders.push_back(PathJoin(utf8BaseFolder, "pmodel"));
    if (!utf8GameFolder.empty() && !utf8SelectedMod.empty() && utf8SelectedMod != "base") {
        folders.push_back(PathJoin(PathJoin(PathJoin(utf8GameFolder, "mods"), utf8SelectedMod), "pmodel"));
    }
    return folders;
}

}  // namespace modroute
