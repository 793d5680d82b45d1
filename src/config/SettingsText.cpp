#include "config/SettingsText.h"

namespace modroute {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// The last SelectedMod value of [Settings], as the file's bytes have it.
std::string FindSelectedMod(std::string_view text) {
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
        if (TrimBlanks(line.substr(0, equals)) != "SelectedMod") return;
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
        if (IsWellFormedUtf8(text)) readings.push_back(FindSelectedMod(text));
    } else {
        const std::string selected = FindSelectedMod(fileBytes);
        if (PassesUtf8Test(selected)) readings.push_back(selected);
        std::string gbk = gbkToUtf8(selected);
        if (!gbk.empty() && gbk != selected) readings.push_back(std::move(gbk));
    }
    if (!readings.empty() && readings.front().empty()) readings.clear();
    return readings;
}

bool IsPlainFolderName(std::string_view utf8Name) {
    if (utf8Name.empty() || utf8Name == "." || utf8Name == "..") return false;
    return utf8Name.find_first_of("\\/:") == std::string_view::npos;
}

}  // namespace modroute
