// Code page 936 text of any bytes: characters are never split, separators
// and needles are found only at character starts, case changes keep length
// and touch single-byte letters only.
//
// Input: text, NUL, needle (its ASCII bytes are used), NUL, second text.
#include <algorithm>
#include <vector>

#include "FuzzSupport.h"
#include "common/GbkText.h"
#include "common/PathText.h"

using namespace modroute;

namespace {

// Where each character starts, and whether it is one byte.
struct Characters {
    std::vector<bool> starts;  // per byte: a character starts here
    std::vector<bool> single;  // per byte: it starts a one-byte character
};

Characters Boundaries(std::string_view text) {
    Characters characters{std::vector<bool>(text.size() + 1), std::vector<bool>(text.size())};
    characters.starts[text.size()] = true;
    std::size_t next = 0;
    ForEachGbkCharacter(text, [&](std::size_t i, std::size_t length) {
        FUZZ_CHECK(i == next && (length == 1 || length == 2) && i + length <= text.size());
        // Only a lead byte opens two bytes, and it does unless it is the last.
        FUZZ_CHECK((length == 2) == (IsGbkLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()));
        characters.starts[i] = true;
        characters.single[i] = length == 1;
        next = i + length;
    });
    FUZZ_CHECK(next == text.size());
    return characters;
}

void CheckCaseChanges(std::string_view text, const Characters& characters) {
    for (const std::string& changed : {GbkToLowerAscii(text)}) {
        FUZZ_CHECK(changed.size() == text.size());
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (changed[i] == text[i]) continue;
            FUZZ_CHECK(characters.single[i] && EqualsIgnoringAsciiCase(changed.substr(i, 1), text.substr(i, 1)));
        }
        // Changing case never moves a character boundary.
        FUZZ_CHECK(Boundaries(changed).starts == characters.starts);
    }
}

void CheckFind(std::string_view text, const Characters& characters, std::string_view needle, std::size_t from) {
    const std::size_t found = GbkFind(text, needle, from);
    std::size_t expected = std::string_view::npos;
    for (std::size_t i = from; i + needle.size() <= text.size(); ++i) {
        if (characters.starts[i] && text.substr(i, needle.size()) == needle) {
            expected = i;
            break;
        }
    }
    FUZZ_CHECK(found == expected);

    const std::string lowerNeedle = ToLowerAscii(needle);
    const std::string lowerText = GbkToLowerAscii(text);
    bool contained = false;
    for (std::size_t i = 0; i + needle.size() <= text.size() && !contained; ++i) {
        contained = characters.starts[i] && lowerText.compare(i, needle.size(), lowerNeedle) == 0;
    }
    FUZZ_CHECK(GbkContainsIgnoringCase(text, lowerNeedle) == contained);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string_view> parts = fuzzsupport::SplitAtNul(fuzzsupport::AsText(data, size));
    parts.resize(std::max<std::size_t>(parts.size(), 2));
    const std::string_view text = parts[0];
    std::string needle;
    std::copy_if(parts[1].begin(), parts[1].end(), std::back_inserter(needle),
                 [](char c) { return static_cast<unsigned char>(c) < 0x80; });

    const Characters characters = Boundaries(text);
    CheckCaseChanges(text, characters);
    CheckFind(text, characters, needle, 0);
    CheckFind(text, characters, needle, needle.size() % (text.size() + 1));
    return 0;
}
