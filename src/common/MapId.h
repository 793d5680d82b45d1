// The game names a map's folder, pack and files after its id: "sn" in either
// letter case, then the map's number as printf's "%02d" writes it (sn07 is
// map 7, sn100 map 100). Pure code.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
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

struct MapId {
    std::size_t length = 0;  // "sn" and the digits: 4 for sn07, 5 for sn100
    int number = 0;          // 1..255
};

// The map id at the start of text: "sn", then exactly the digits the game
// writes for a number of 1..255 (two below 100, three from 100), and no
// further digit after them. sn1, sn007, sn256 and sn0123 are no ids.
std::optional<MapId> ReadMapId(std::string_view text);

// "sn07", "sn100": the id the game writes for a map number.
std::string MapIdText(int number);

}  // namespace modroute
