#include "config/ModInfoText.h"

#include "common/PathText.h"

namespace modroute {
namespace {

// Fixed description texts.
constexpr char kUnknownAuthor[] = "未知作者";
constexpr char kBaseResources[] = "基础资源文件";
constexpr char kOfficialOriginal[] = "官方原版";
constexpr char kCustomModResources[] = "自定义MOD资源";
constexpr char kBasedOn[] = "基于 ";
constexpr char kOriginalLayout[] = " 文件夹的游戏原版结构";

constexpr char kPublisher[] = "Orbisoft";
constexpr char kGameVersion[] = "9.0.7";
constexpr char kFirstVersion[] = "1.0.0";
constexpr char kDefaultImage[] = "info.jpg";

bool IsAsciiAlphanumeric(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool IsSectionLine(std::string_view line) { return line.size() >= 2 && line.front() == '[' && line.back() == ']'; }

// Splits an entry line of the [ModInfo] section; false for blank lines,
// comments and lines without '='.
bool SplitEntry(std::string_view line, std::string_view& key, std::string_view& value) {
    const std::string_view trimmed = TrimBlanks(line);
    if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '#') return false;
    const std::size_t equals = trimmed.find('=');
    if (equals == std::string_view::npos) return false;
    key = TrimBlanks(trimmed.substr(0, equals));
    value = TrimBlanks(trimmed.substr(equals + 1));
    return true;
}

}  // namespace

std::string DescriptionFileText(std::string_view fileBytes, TextConverter gbkToUtf8) {
    constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
    if (fileBytes.starts_with(kUtf8Bom)) fileBytes.remove_prefix(kUtf8Bom.size());
    if (IsWellFormedUtf8(fileBytes)) return std::string(fileBytes);
    return gbkToUtf8(fileBytes);
}

void ParseModInfoText(std::string_view fileBytes, ModInfo& out, const std::string& modName) {
    out = ModInfo{};
    out.title = modName;
    out.folderName = modName;
    out.author = kUnknownAuthor;
    out.version = kFirstVersion;
    out.image = kDefaultImage;

    bool inModInfo = false;
    ForEachTextLine(fileBytes, [&](std::string_view line) {
        if (line.empty()) return;
        if (IsSectionLine(line)) {
            inModInfo = TrimBlanks(line.substr(1, line.size() - 2)) == "ModInfo";
            return;
        }
        if (!inModInfo) return;
        std::string_view key;
        std::string_view rawValue;
        if (!SplitEntry(line, key, rawValue)) return;
        std::string value = IsWellFormedUtf8(rawValue) ? std::string(rawValue) : std::string();
        if (key == "title") {
            out.title = std::move(value);
        } else if (key == "author") {
            out.author = std::move(value);
        } else if (key == "version") {
            out.version = std::move(value);
        } else if (key == "info" || key == "description") {
            out.info = std::move(value);
        } else if (key == "type") {
            out.type = std::move(value);
        } else if (key == "website") {
            out.website = std::move(value);
        } else if (key == "contact") {
            out.contact = std::move(value);
        } else if (key == "image") {
            out.image = CleanPath(value);
        }
    });
}

void ReadModInfoText(std::string_view fileBytes, ModInfo& out) {
    bool inModInfo = false;
    ForEachTextLine(fileBytes, [&](std::string_view rawLine) {
        const std::string_view line = TrimBlanks(rawLine);
        if (line.empty()) return;
        if (IsSectionLine(line)) {
            inModInfo = line.substr(1, line.size() - 2) == "ModInfo";
            return;
        }
        if (!inModInfo) return;
        std::string_view key;
        std::string_view value;
        if (!SplitEntry(line, key, value)) return;
        if (key == "title") {
            out.title = value;
        } else if (key == "author") {
            out.author = value;
        } else if (key == "version") {
            out.version = value;
        } else if (key == "info") {
            out.info = value;
        } else if (key == "folderName") {
            out.folderName = value;
        } else if (key == "type") {
            out.type = value;
        } else if (key == "website") {
            out.website = value;
        } else if (key == "contact") {
            out.contact = value;
        } else if (key == "image") {
            out.image = value;
        }
    });
}

ModInfo DefaultBaseInfo() {
    ModInfo info;
    info.title = "BASE";
    info.author = kPublisher;
    info.version = kGameVersion;
    info.info = kBaseResources;
    info.image = kDefaultImage;
    info.type = kOfficialOriginal;
    return info;
}

ModInfo DefaultModFolderInfo(const std::string& folderName) {
    ModInfo info;
    info.title = folderName;
    info.author = kUnknownAuthor;
    info.version = kFirstVersion;
    info.info = kCustomModResources;
    info.image = kDefaultImage;
    return info;
}

void SetMissingFileInfo(ModInfo& out, const std::string& modName, bool gameOwnName) {
    out.title = modName;
    out.folderName = modName;
    out.author = gameOwnName ? kPublisher : kUnknownAuthor;
    out.version = kFirstVersion;
    out.image = kDefaultImage;
    out.info.clear();
    out.type.clear();
    out.website.clear();
    out.contact.clear();
}

void SetRootEntryInfo(ModInfo& out, const std::string& rootName) {
    out.title = rootName;
    out.author = kPublisher;
    out.version = kGameVersion;
    out.info = std::string(kBasedOn) + rootName + kOriginalLayout;
    out.type = "1";
}

std::string RootEntryName(std::string_view folderName) {
    const std::size_t dot = folderName.rfind('.');
    if (dot == std::string_view::npos || dot == 0) return std::string(folderName);
    const std::string_view extension = folderName.substr(dot + 1);
    if (extension.empty() || extension.size() > 4) return std::string(folderName);
    for (const char c : extension) {
        if (!IsAsciiAlphanumeric(c)) return std::string(folderName);
    }
    return std::string(folderName.substr(0, dot));
}

std::string DefaultBaseIniBytes() {
    static constexpr const char* kLines[] = {
        "#=============================================",
        "#      Tavren MOD 系统配置文件mod.ini",
        "#      注意，此文档必须保存为UTF-8带BOM",
        "#                  Tarnwick。",
        "#=============================================",
        "",
        "[ModInfo]",
        "title=Tavren.net",
        "author=Orbisoft",
        "version=9.0.7",
        "info=Tavren, a 2004 fantasy action role-playing game",
        "type=1",
        "website=https://modroute.example/",
        "contact=",
        "image=info.jpg",
        "",
        "[ModConfig]",
    };
    std::string bytes = "\xEF\xBB\xBF";
    for (const char* line : kLines) {
        bytes += line;
        bytes += '\n';
    }
    return bytes;
}

}  // namespace modroute
