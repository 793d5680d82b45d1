// Character model file names of any bytes: the index a name stands for, the
// count taken from many names, and the folders counted.
//
// Input: NUL-separated file names; the first three also serve as game
// folder, base folder and selected mod.
#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "patches/CharacterCount.h"

using namespace modroute;

namespace {

void CheckIndex(const std::string& name) {
    const std::optional<int> index = CharacterIndexOf(name);
    if (!index) return;
    FUZZ_CHECK(*index >= 0);
    // At least five characters (a UTF-8 sequence is one).
    const auto starts = std::count_if(name.begin(), name.end(), [](char c) { return (c & 0xC0) != 0x80; });
    FUZZ_CHECK(starts >= 5);
    FUZZ_CHECK((name[0] == 'p' || name[0] == 'P') && name.find('.') != std::string::npos);
    // The digits after the first character, up to '_' or '.', are the index.
    const std::size_t end = name.find_first_of("_.", 1);
    const std::string digits = name.substr(1, end - 1);
    const std::size_t firstSignificant = std::min(digits.find_first_not_of('0'), digits.size() - 1);
    FUZZ_CHECK(digits.substr(firstSignificant) == std::to_string(*index));
    // Neither the letter's case nor what follows the first dot matters.
    std::string other = name;
    other[0] = name[0] == 'p' ? 'P' : 'p';
    FUZZ_CHECK(CharacterIndexOf(other) == index);
    FUZZ_CHECK(CharacterIndexOf(name + ".x") == index);
    FUZZ_CHECK(CharacterIndexOf("p" + std::to_string(*index) + "_hero.gmb") == index);
    FUZZ_CHECK(CharacterIndexOf("P" + std::to_string(*index) + "_1_2.x") == index);  // the first '_' ends it
}

void CheckFolders(std::string_view game, std::string_view base, std::string_view mod) {
    const std::vector<std::string> folders = PmodelFolders(game, base, mod);
    const std::size_t expected =
        (game.empty() ? 0 : 1) + (base.empty() ? 0 : 1) + (!game.empty() && !mod.empty() && mod != "base" ? 1 : 0);
    FUZZ_CHECK(folders.size() == expected);
    for (const std::string& folder : folders) FUZZ_CHECK(folder.ends_with("pmodel"));
    if (!game.empty()) FUZZ_CHECK(folders.front().starts_with(game));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string_view> parts = fuzzsupport::SplitAtNul(fuzzsupport::AsText(data, size));
    const std::vector<std::string> names(parts.begin(), parts.end());
    int largest = -1;
    for (const std::string& name : names) {
        CheckIndex(name);
        largest = std::max(largest, CharacterIndexOf(name).value_or(-1));
    }
    FUZZ_CHECK(LargestCharacterIndex(names) == largest);
    const int count = CharacterCountFromLargestIndex(largest);
    FUZZ_CHECK(count >= 1 && (count > largest || largest == INT_MAX));

    parts.resize(std::max<std::size_t>(parts.size(), 3));
    CheckFolders(parts[0], parts[1], parts[2]);
    return 0;
}
