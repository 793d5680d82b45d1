#include "common/Utf8Text.h"

namespace modroute {

std::size_t Utf8CharacterLength(std::string_view text, std::size_t at, Utf8Rules rules) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    unsigned char low = 0x80;  // allowed range of the first continuation byte
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (rules.strict && lead == 0xE0) low = 0xA0;   // overlong
        if (rules.strict && lead == 0xED) high = 0x9F;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4 && rules.longest >= 4) {
        length = 4;
        if (rules.strict && lead == 0xF0) low = 0x90;   // overlong
        if (rules.strict && lead == 0xF4) high = 0x8F;  // above U+10FFFF
    } else {
        return 0;
    }
    if (text.size() - at < length) return 0;
    if (byte(at + 1) < low || byte(at + 1) > high) return 0;
    for (std::size_t k = 2; k < length; ++k) {
        if (byte(at + k) < 0x80 || byte(at + k) > 0xBF) return 0;
    }
    return length;
}

bool IsUtf8(std::string_view text, Utf8Rules rules) {
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = Utf8CharacterLength(text, i, rules);
        if (length == 0) return false;
        i += length;
    }
    return true;
}

}  // namespace modroute
