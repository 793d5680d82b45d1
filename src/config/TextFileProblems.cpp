#include "config/TextFileProblems.h"

#include "common/PathText.h"
#include "common/TextLines.h"
#include "config/SettingsText.h"

namespace modroute {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool IsSection(std::string_view line) { return line.size() >= 2 && line.front() == '[' && line.back() == ']'; }

// The readers take these names only in their exact spelling.
void CheckSpelling(std::vector<TextFileProblem>& problems, std::size_t line, std::string_view written,
                   std::string_view exact, const char* what) {
    if (written == exact || !EqualsIgnoringAsciiCase(written, exact)) return;
    problems.push_back({"line " + std::to_string(line) + ": the " + what + " " + std::string(written) +
                            " is ignored: ModRoute reads only " + std::string(exact),
                        "write it " + std::string(exact)});
}

}  // namespace

std::vector<TextFileProblem> SettingsFileProblems(std::string_view fileBytes, TextConverter gbkToUtf8) {
    std::vector<TextFileProblem> problems;
    if (fileBytes.substr(0, 2) == "\xFF\xFE" || fileBytes.substr(0, 2) == "\xFE\xFF") {
        problems.push_back({"saved as UTF-16, which ModRoute does not read: no mod is selected",
                            "save it as UTF-8 or as ANSI (GBK)"});
        return problems;
    }
    std::string_view text = fileBytes;
    if (text.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
        text.remove_prefix(kUtf8Bom.size());
        if (!IsWellFormedUtf8(text)) {
            problems.push_back({"starts with a UTF-8 byte-order mark but is not UTF-8: nothing is read",
                                "save it again as UTF-8"});
        }
    }
    std::size_t number = 0;
    bool inSettings = false;
    ForEachTextLine(text, [&](std::string_view raw) {
        ++number;
        const std::string_view line = TrimBlanks(raw);
        if (line.empty() || line.front() == ';' || line.front() == '#') return;
        if (IsSection(line)) {
            const std::string_view section = line.substr(1, line.size() - 2);
            inSettings = EqualsIgnoringAsciiCase(section, "Settings");
            CheckSpelling(problems, number, section, "Settings", "section");
            return;
        }
        const std::size_t equals = line.find('=');
        if (!inSettings || equals == std::string_view::npos) return;
        const std::string_view key = TrimBlanks(line.substr(0, equals));
        CheckSpelling(problems, number, key, "SelectedMod", "key");
        CheckSpelling(problems, number, key, "Log", "key");
    });
    const std::vector<std::string> readings = SelectedModReadings(fileBytes, gbkToUtf8);
    const std::string written = readings.empty() ? std::string() : readings.front();
    if (!written.empty() && !IsPlainFolderName(written)) {
        problems.push_back({"SelectedMod=" + written + " is not a plain folder name under mods: no mod is selected",
                            "write only the mod folder's name, as in SelectedMod=Blades"});
    }
    return problems;
}

std::vector<TextFileProblem> DescriptionFileProblems(std::string_view fileBytes) {
    std::vector<TextFileProblem> problems;
    // A byte-order mark and code page 936 text are read as written, so
    // only what the text says can be missing.
    std::string_view text = fileBytes;
    if (text.substr(0, kUtf8Bom.size()) == kUtf8Bom) text.remove_prefix(kUtf8Bom.size());
    bool section = false;
    bool inModInfo = false;
    bool title = false;
    ForEachTextLine(text, [&](std::string_view line) {
        if (IsSection(line)) {
            inModInfo = TrimBlanks(line.substr(1, line.size() - 2)) == "ModInfo";
            section |= inModInfo;
            return;
        }
        const std::size_t equals = line.find('=');
        title |= inModInfo && equals != std::string_view::npos && TrimBlanks(line.substr(0, equals)) == "title";
    });
    if (!section) {
        problems.push_back({"no [ModInfo] section: the mod is described by its folder's name",
                            "add a [ModInfo] section with title, author and version"});
    } else if (!title) {
        problems.push_back({"[ModInfo] has no title: the mod shows under its folder's name", "add a line title=..."});
    }
    return problems;
}

}  // namespace modroute
