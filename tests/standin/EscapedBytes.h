// How the stand-in game prints bytes it read: printable ASCII as it is,
// everything else (and the backslash) as \xNN, at most limit bytes.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace standin {

inline std::string EscapedBytes(std::string_view data, std::size_t limit) {
    std::string out;
    for (std::size_t i = 0; i < data.size() && i < limit; ++i) {
        const unsigned char c = static_cast<unsigned char>(data[i]);
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return out;
}

}  // namespace standin
