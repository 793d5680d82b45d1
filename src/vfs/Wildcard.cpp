#include "vfs/Wildcard.h"

#include <algorithm>

#include "common/PathText.h"
#include "common/Utf8Text.h"

namespace modroute {
namespace {

// Length of the UTF-8 character starting at i: 1 for ASCII and for a byte
// that does not start a complete sequence, so a damaged name still advances.
std::size_t CharacterLength(std::string_view text, std::size_t i) {
    return std::max<std::size_t>(Utf8CharacterLength(text, i, kLaxUtf8), 1);
}

// What may remain of the pattern once the name is used up: stars, and dots
// each followed by a star (a "." before "*" may stand for the name's end, so
// "*.*" matches names without an extension).
bool MatchesNameEnd(std::string_view rest) {
    for (std::size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] == '*') continue;
        if (rest[i] == '.' && i + 1 < rest.size() && rest[i + 1] == '*') continue;
        return false;
    }
    return true;
}

// Path normalisation drops trailing dots and spaces of a last path part
// before the system matches it ("a." finds "a").
std::string_view WithoutTrailingDotsAndSpaces(std::string_view pattern) {
    const std::size_t last = pattern.find_last_not_of(". ");
    return last == std::string_view::npos ? pattern : pattern.substr(0, last + 1);
}

}  // namespace

// Greedy matching that remembers only the last '*': when a later part fails,
// that star takes one more character and the rest is tried again. Earlier
// stars never need to be revisited, so the cost stays O(n * m).
bool WildcardMatch(std::string_view name, std::string_view pattern) {
    pattern = WithoutTrailingDotsAndSpaces(pattern);
    std::size_t n = 0;
    std::size_t p = 0;
    std::size_t starPattern = std::string_view::npos;
    std::size_t starName = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starPattern = p++;
            starName = n;
        } else if (p < pattern.size() && pattern[p] == '?') {
            n += CharacterLength(name, n);
            ++p;
        } else if (p < pattern.size() && LowerAscii(pattern[p]) == LowerAscii(name[n])) {
            ++n;
            ++p;
        } else if (starPattern != std::string_view::npos) {
            starName += CharacterLength(name, starName);
            n = starName;
            p = starPattern + 1;
        } else {
            return false;
        }
    }
    return MatchesNameEnd(pattern.substr(p));
}

}  // namespace modroute
