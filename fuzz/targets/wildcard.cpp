// Name matching against search patterns: on short well-formed UTF-8 inputs
// compared with a plain exponential reading of the rules of Wildcard.h, on
// any input checked for properties every match has. Long inputs must finish
// (libFuzzer's timeout catches a matcher that backtracks exponentially).
//
// Input: name, NUL, pattern. The same bytes are also read as characters of a
// small alphabet, so that short cases of every shape, multi-byte characters
// among them, come up often.
#include <vector>

#include "FuzzSupport.h"
#include "common/PathText.h"
#include "vfs/Wildcard.h"

using namespace modroute;

namespace {

using Characters = std::vector<std::string_view>;

// Whole UTF-8 characters of well-formed text.
Characters Split(std::string_view text) {
    Characters characters;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        characters.push_back(text.substr(i, length));
        i += length;
    }
    return characters;
}

bool SameCharacter(std::string_view a, std::string_view b) {
    return a.size() == 1 && b.size() == 1 ? EqualsIgnoringAsciiCase(a, b) : a == b;
}

// The rules as Wildcard.h states them, tried every way.
bool Reference(const Characters& name, std::size_t n, const Characters& pattern, std::size_t p) {
    if (p == pattern.size()) return n == name.size();
    if (pattern[p] == "*") {
        return Reference(name, n, pattern, p + 1) || (n < name.size() && Reference(name, n + 1, pattern, p));
    }
    if (n == name.size()) {
        // ".*" may stand for the end of the name.
        return pattern[p] == "." && p + 1 < pattern.size() && pattern[p + 1] == "*" &&
               Reference(name, n, pattern, p + 1);
    }
    if (pattern[p] == "?" || SameCharacter(pattern[p], name[n])) return Reference(name, n + 1, pattern, p + 1);
    return false;
}

bool ReferenceMatch(std::string_view name, std::string_view pattern) {
    // Trailing dots and spaces of the pattern are dropped, unless nothing else is left.
    const std::size_t last = pattern.find_last_not_of(". ");
    if (last != std::string_view::npos) pattern = pattern.substr(0, last + 1);
    return Reference(Split(name), 0, Split(pattern), 0);
}

// Each byte one character of an alphabet that holds every kind of character
// the rules treat apart: letters of both cases, '.', ' ', the wildcards, and
// UTF-8 of two, three and four bytes with the lowest and highest lead bytes.
std::string FromAlphabet(std::string_view bytes) {
    static constexpr std::string_view kAlphabet[] = {
        "a",        "A",        "b",        ".",        " ",        "*",        "?",
        "\xC2\x80", "\xDF\xBF", "\xE0\xA0\x80", "\xE4\xB8\xAD", "\xEF\xBF\xBD", "\xF0\x9F\x98\x80", "\xF4\x8F\xBF\xBF"};
    std::string text;
    for (const char c : bytes) text += kAlphabet[static_cast<unsigned char>(c) % std::size(kAlphabet)];
    return text;
}

void CheckAgainstReference(std::string_view name, std::string_view pattern) {
    if (IsWellFormedUtf8(name) && IsWellFormedUtf8(pattern) && Split(name).size() <= 8 && Split(pattern).size() <= 8) {
        FUZZ_CHECK(WildcardMatch(name, pattern) == ReferenceMatch(name, pattern));
    }
}

std::string FlipAsciiCase(std::string_view text) {
    std::string flipped(ToUpperAscii(text));
    const std::string lower = ToLowerAscii(text);
    for (std::size_t i = 0; i < flipped.size(); ++i) {
        if (flipped[i] == text[i]) flipped[i] = lower[i];
    }
    return flipped;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input = fuzzsupport::AsText(data, size);
    const std::size_t nul = input.find('\0');
    const std::string_view name = input.substr(0, nul);
    const std::string_view pattern = nul == std::string_view::npos ? std::string_view() : input.substr(nul + 1);
    const bool matches = WildcardMatch(name, pattern);

    // ASCII case never matters; a star matches every name.
    FUZZ_CHECK(WildcardMatch(FlipAsciiCase(name), pattern) == matches);
    FUZZ_CHECK(WildcardMatch(name, FlipAsciiCase(pattern)) == matches);
    FUZZ_CHECK(WildcardMatch(name, "*"));
    FUZZ_CHECK(WildcardMatch(name, "*.*"));
    // A plain name finds itself (unless its own trailing dots or spaces are dropped).
    const bool plain = name.find_first_of("*?") == std::string_view::npos;
    if (plain && (name.empty() || (name.back() != '.' && name.back() != ' '))) FUZZ_CHECK(WildcardMatch(name, name));

    CheckAgainstReference(name, pattern);
    CheckAgainstReference(FromAlphabet(name), FromAlphabet(pattern));
    return 0;
}
