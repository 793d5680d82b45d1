// The game names a map's folder, pack and files after its id: "sn" in either
// letter case, then the map's number (sn07 is map 7). Pure code.
#pragma once

#include <cstddef>
#include <string_view>

namespace modroute {

// Map numbers run from 1 to this.
constexpr int kMaxMapNumber = 255;

// Whether text starts with "sn" in either letter case.
bool StartsWithSn(std::string_view text);

struct SnDigits {
    std::size_t count = 0;  // decimal digits right after the "sn"; 0 when none or no "sn"
    int number = 0;         // their value, capped just past kMaxMapNumber
};

// The digits that follow "sn" (either letter case) at the start of text.
SnDigits ReadSnDigits(std::string_view text);

}  // namespace modroute
