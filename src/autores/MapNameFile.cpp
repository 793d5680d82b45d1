#include "autores/MapNameFile.h"

#include <optional>
#include <vector>

#include "autores/DesText.h"
#include "autores/ResFormat.h"
#include "common/FileSystem.h"
#include "common/PathText.h"
#include "common/TextEncoding.h"

namespace modroute {
namespace {

// Description files are a few kilobytes; a larger one is not one.
constexpr std::uint64_t kMaxDesBytes = 64u * 1024u * 1024u;

}  // namespace

std::optional<std::string> MapDescriptionFile(const std::string& folderPath) {
    const std::string own = PathJoin(folderPath, GetFileName(folderPath) + ".des");
    if (FileExists(own)) return own;
    const std::vector<std::string> others = ListFiles(folderPath, ".des");
    if (others.empty()) return std::nullopt;
    return PathJoin(folderPath, others.front());
}

std::string ExtractMapName(const std::string& folderPath, const std::string& fallbackName) {
    const std::optional<std::string> file = MapDescriptionFile(folderPath);
    if (!file) return fallbackName;
    const std::optional<std::string> bytes = ReadWholeFile(*file, kMaxDesBytes);
    if (!bytes || bytes->empty()) return fallbackName;
    std::string name = MapNameFromDesFile(*bytes, fallbackName, Utf8ToGbk, Utf16LeBytesToGbk);
    // A name with a NUL inside would end early in the block.
    if (name.find('\0') != std::string::npos) return fallbackName;
    return name;
}

}  // namespace modroute
