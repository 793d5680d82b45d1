#include "config/SettingsText.h"

namespace modroute {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool IsContinuation(unsigned char c) { return c >= 0x80 && c <= 0xBF; }

}  // namespace

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

std::string ParseSelectedMod(std::string_view fileBytes, TextConverter utf8ToAnsi) {
    std::string converted;
    std::string_view text = fileBytes;
    if (fileBytes.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
        converted = utf8ToAnsi(fileBytes.substr(kUtf8Bom.size()));
        text = converted;
    }
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

bool PassesUtf8Test(std::string_view bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        std::size_t continuations = 0;
        if (lead < 0x80) {
            continuations = 0;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            continuations = 1;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            continuations = 2;
        } else {
            return false;
        }
        if (bytes.size() - i - 1 < continuations) return false;
        for (std::size_t k = 1; k <= continuations; ++k) {
            if (!IsContinuation(static_cast<unsigned char>(bytes[i + k]))) return false;
        }
        i += continuations + 1;
    }
    return true;
}

bool IsPlainFolderName(std::string_view utf8Name) {
    if (utf8Name.empty() || utf8Name == "." || utf8Name == "..") return false;
    return utf8Name.find_first_of("\\/:") == std::string_view::npos;
}

}  // namespace modroute
