// Byte-level work on text in code page 936 (GBK), the game's ANSI code page.
// A GBK character is one byte below 0x81, or a lead byte 0x81..0xFE followed
// by a trail byte 0x40..0xFE -- and trail bytes take the values of '\', '/',
// 'A'..'Z' and 'a'..'z'. Every scan of GBK text for separators or letters goes
// through these functions, which step over whole characters. Pure code.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace modroute {

constexpr bool IsGbkLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

// Calls visit(position, length) for each character: length 1, or 2 for a lead
// byte with its trail byte. A lead byte at the very end counts as one byte.
template <typename Visit>
void ForEachGbkCharacter(std::string_view text, Visit visit) {
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t length =
            IsGbkLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
        visit(i, length);
        i += length;
    }
}

// Position of the first occurrence of an ASCII needle that starts on a
// character boundary, or npos. The needle must be plain ASCII.
std::size_t GbkFind(std::string_view text, std::string_view asciiNeedle, std::size_t from = 0);

// Whether the text holds the lower-case ASCII needle, ignoring the case of
// single-byte letters, at a character boundary. No allocation.
bool GbkContainsIgnoringCase(std::string_view text, std::string_view lowerAsciiNeedle);

// A..Z lowered in single-byte characters only; trail bytes stay.
std::string GbkToLowerAscii(std::string_view text);


}  // namespace modroute
