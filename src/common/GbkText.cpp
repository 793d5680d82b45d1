#include "common/GbkText.h"

#include "common/PathText.h"

namespace modroute {

std::size_t GbkFind(std::string_view text, std::string_view asciiNeedle, std::size_t from) {
    if (asciiNeedle.empty()) return from <= text.size() ? from : std::string_view::npos;
    std::size_t i = 0;
    while (i < text.size()) {
        if (i >= from && text.substr(i, asciiNeedle.size()) == asciiNeedle) return i;
        const unsigned char c = static_cast<unsigned char>(text[i]);
        i += IsGbkLeadByte(c) && i + 1 < text.size() ? 2 : 1;
    }
    return std::string_view::npos;
}

bool GbkContainsIgnoringCase(std::string_view text, std::string_view lowerAsciiNeedle) {
    std::size_t i = 0;
    while (i + lowerAsciiNeedle.size() <= text.size()) {
        std::size_t j = 0;
        while (j < lowerAsciiNeedle.size() && LowerAscii(text[i + j]) == lowerAsciiNeedle[j]) ++j;
        if (j == lowerAsciiNeedle.size()) return true;
        i += IsGbkLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
    }
    return false;
}

std::string GbkToLowerAscii(std::string_view text) {
    std::string result(text);
    ForEachGbkCharacter(text, [&](std::size_t i, std::size_t length) {
        if (length == 1) result[i] = LowerAscii(result[i]);
    });
    return result;
}

}  // namespace modroute
