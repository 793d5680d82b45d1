// What a player or a mod author can fix in the hand-written text files, told
// beside their readers so that the checks follow the same rules: ModRoute.ini
// (UTF-16, a byte-order mark over text that is not UTF-8, [Settings] or its
// keys in another letter case, a SelectedMod that is no plain folder name) and
// the description files (a byte-order mark hiding [ModInfo], text that is not
// UTF-8, no [ModInfo] section, no title). Pure code; conversions passed in.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/Utf8Text.h"

namespace modroute {

struct TextFileProblem {
    std::string problem;  // what is wrong and what it does to the game
    std::string advice;   // what to do
};

std::vector<TextFileProblem> SettingsFileProblems(std::string_view fileBytes, TextConverter gbkToUtf8);
std::vector<TextFileProblem> DescriptionFileProblems(std::string_view fileBytes);

}  // namespace modroute
