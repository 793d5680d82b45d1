#include "autores/DesText.h"

#include <array>
#include <span>
#include <utility>
#include <vector>

#include "autores/ResFormat.h"
#include "common/GbkText.h"

namespace modroute {
namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeMark = "\xFF\xFE";
constexpr std::string_view kUtf16BeMark = "\xFE\xFF";
constexpr std::string_view kSceneObjects = "SceneObjects";

// Words of the file's own header line; a line holding one is not a map name.
constexpr std::array<std::string_view, 4> kHeaderMarkers = {
    "GModel Description File", "by Alden Voss", "Orbisoft", "Create by Ridiruz"};

// The header's words, lower-cased, that no map name may contain.
constexpr std::array<std::string_view, 15> kHeaderWords = {
    "gmodel", "description", "file", "v1.0", "by",   "alden", "voss",    "orbisoft",
    "2002",   "2003",        "2004", "2005", "2006", "create", "ridiruz"};

std::string WithoutTrailingNul(std::string text) {
    if (!text.empty() && text.back() == '\0') text.pop_back();
    return text;
}

std::string Utf16LeToGbk(std::string_view units, TextConverter utf16LeToGbk) {
    return WithoutTrailingNul(utf16LeToGbk(units.substr(0, units.size() & ~std::size_t{1})));
}

std::string SwapBytePairs(std::string_view bytes) {
    std::string swapped(bytes.substr(0, bytes.size() & ~std::size_t{1}));
    for (std::size_t i = 0; i + 1 < swapped.size(); i += 2) std::swap(swapped[i], swapped[i + 1]);
    return swapped;
}

bool ContainsAny(std::string_view gbkText, std::span<const std::string_view> asciiNeedles) {
    for (const std::string_view needle : asciiNeedles) {
        if (GbkFind(gbkText, needle) != std::string_view::npos) return true;
    }
    return false;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    ForEachTextLine(text, [&](std::string_view line) { lines.push_back(line); });
    return lines;
}

// "# Harbour" names the map Harbour.
std::string_view WithoutHashMark(std::string_view candidate) {
    if (candidate.empty() || candidate.front() != '#') return candidate;
    return TrimBlanks(candidate.substr(1));
}

}  // namespace

bool IsDesUtf8(std::string_view bytes) { return IsUtf8(bytes, kLaxUtf8); }

std::string DecodeDesText(std::string_view fileBytes, TextConverter utf8ToGbk, TextConverter utf16LeToGbk) {
    if (fileBytes.size() >= 3 && fileBytes.starts_with(kUtf8Mark)) return utf8ToGbk(fileBytes.substr(3));
    if (fileBytes.starts_with(kUtf16LeMark)) return Utf16LeToGbk(fileBytes.substr(2), utf16LeToGbk);
    if (fileBytes.starts_with(kUtf16BeMark)) return Utf16LeToGbk(SwapBytePairs(fileBytes.substr(2)), utf16LeToGbk);
    if (IsDesUtf8(fileBytes)) return WithoutTrailingNul(utf8ToGbk(fileBytes));
    return std::string(fileBytes);
}

bool IsValidMapName(std::string_view candidate) {
    if (candidate.size() < 2) return false;
    return !ContainsAny(GbkToLowerAscii(candidate), kHeaderWords);
}

std::string MapNameFromDesText(std::string_view gbkText, std::string_view folderName) {
    const std::vector<std::string_view> lines = SplitLines(gbkText);
    std::size_t scene = lines.size();
    while (scene > 0 && GbkFind(lines[scene - 1], kSceneObjects) == std::string_view::npos) --scene;
    // scene is now one past the last "SceneObjects" line; 0 when there is none.
    if (scene < 2) return std::string(folderName);
    const std::size_t sceneLine = scene - 1;

    std::string_view candidate = TrimBlanks(lines[sceneLine - 1]);
    if (candidate.empty()) return std::string(folderName);
    if (sceneLine >= 2 && ContainsAny(candidate, kHeaderMarkers)) candidate = TrimBlanks(lines[sceneLine - 2]);
    candidate = WithoutHashMark(candidate);

    // A name a map block cannot hold would lose the map; the folder name keeps it.
    // A NUL would end the name inside the block (UTF-16 files decode one from 00 00).
    if (candidate.empty() || candidate.size() > kMaxMapNameLength || candidate.find('\0') != std::string_view::npos ||
        !IsValidMapName(candidate)) {
        return std::string(folderName);
    }
    return std::string(candidate);
}

std::string MapNameFromDesFile(std::string_view fileBytes, std::string_view folderName, TextConverter utf8ToGbk,
                               TextConverter utf16LeToGbk) {
    return MapNameFromDesText(DecodeDesText(fileBytes, utf8ToGbk, utf16LeToGbk), folderName);
}

}  // namespace modroute
