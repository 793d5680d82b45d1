#include "config/SettingsText.h"

namespace modroute {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// The last value of the key in [Settings], as the file's bytes have it.
std::string FindSettingsValue(std::string_view text, std::string_view key) {
    std::string section;
    std::string selected;
    ForEachTextLine(text, [&](std::string_view rawLine) {
        const std::string_view line = TrimBlanks(rawLine);
        if (line.empty() || line.front() == ';' || line.front() == '#') return;
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            section.assign(line.substr(1, line.size() - 2));
            return;
        }
        if (section != "Settings") return;
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) return;
        if (TrimBlanks(line.substr(0, equals)) != key) return;
        std::string_view value = TrimBlanks(line.substr(equals + 1));
        value = value.substr(0, value.find('#'));
        value = value.substr(0, value.find(';'));
        selected.assign(TrimBlanks(value));
    });
    return selected;
}

}  // namespace

std::vector<std::string> SelectedModReadings(std::string_view fileBytes, TextConverter gbkToUtf8) {
    std::vector<std::string> readings;
    if (fileBytes.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
        const std::string_view text = fileBytes.substr(kUtf8Bom.size());
        if (IsWellFormedUtf8(text)) readings.push_back(FindSettingsValue(text, "SelectedMod"));
    } else {
        const std::string selected = FindSettingsValue(fileBytes, "SelectedMod");
        if (PassesUtf8Test(selected)) readings.push_back(selected);
        std::string gbk = gbkToUtf8(selected);
        if (!gbk.empty() && gbk != selected) readings.push_back(std::move(gbk));
    }
    if (!readings.empty() && readings.front().empty()) readings.clear();
    return readings;
}

bool ParseLogSwitch(std::string_view fileBytes) {
    if (fileBytes.substr(0, kUtf8Bom.size()) == kUtf8Bom) fileBytes.remove_prefix(kUtf8Bom.size());
    return FindSettingsValue(fileBytes, "Log") == "1";
}

bool IsPlainFolderName(std::string_view utf8Name) {
    if (utf8Name.empty() || utf8Name == "." || utf8Name == "..") return false;
    return utf8Name.find_first_of("\\/:") == std::string_view::npos;
}

}  // namespace modroute
