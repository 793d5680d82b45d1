// Map index bytes for tests, laid out by hand as the game lays them out: a
// header of 52 game bytes and the stored count, and game blocks with tails
// of the game's own. Written without the system's encoder, so tests compare
// the system's output with an independent picture of the format.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace testsupport {

using Bytes = std::vector<std::uint8_t>;

// "05 00 0c" -> bytes.
inline Bytes Hex(std::string_view hex) {
    Bytes bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); ++i) {
        if (hex[i] != ' ') bytes.push_back(static_cast<std::uint8_t>(std::stoi(std::string(hex.substr(i++, 2)), nullptr, 16)));
    }
    return bytes;
}

inline Bytes Text(std::string_view text) { return Bytes(text.begin(), text.end()); }

inline Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

inline std::string AsString(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

// A header of 52 game bytes and a stored count.
inline Bytes ResHeader(std::uint16_t count) {
    Bytes header(52);
    for (std::size_t i = 0; i < header.size(); ++i) header[i] = static_cast<std::uint8_t>(0x90 + i);
    header.push_back(static_cast<std::uint8_t>(count & 0xFF));
    header.push_back(static_cast<std::uint8_t>(count >> 8));
    return header;
}

// Leading fields of a block as the game's own index has them (key SNnn),
// with a tail of the game's own bytes after the key.
inline Bytes GameBlock(std::uint8_t number, const std::string& name, const Bytes& tail) {
    const std::string key = std::string("SN") + (number < 10 ? "0" : "") + std::to_string(number);
    return Hex("05 00 00 00") + Bytes{number, 0, 0, 0, static_cast<std::uint8_t>(name.size() + 1), 0, 0, 0} +
           Text(name) + Bytes{0} + Hex("05 00 00 00") + Text(key) + Bytes{0} + tail;
}

// Game data between the header and the first block: tags whose number byte
// is 0 or whose length byte is out of range, so no block starts in it.
inline Bytes GameData() {
    return Hex("05 00 00 00  00 00 00 00  08 00 00 00  05 00 00 00  07 00 00 00  41 00 00 00") + Bytes(30, 0x20);
}

// A base index of the game: header, game data and one block per name
// (numbers from 1), each with a tail of its own, count 710 + blocks.
inline Bytes GameIndex(const std::vector<std::string>& names) {
    Bytes index = ResHeader(static_cast<std::uint16_t>(710 + names.size())) + GameData();
    for (std::size_t i = 0; i < names.size(); ++i) {
        const auto number = static_cast<std::uint8_t>(i + 1);
        index = index + GameBlock(number, names[i], Hex("01 00 00 00 00 02 00 00 00") + Bytes(i + 3, 0x77));
    }
    return index;
}

// The stored count of index bytes; -1 when they are shorter than the header.
inline int StoredCount(std::string_view res) {
    if (res.size() < 54) return -1;
    return static_cast<unsigned char>(res[52]) | (static_cast<unsigned char>(res[53]) << 8);
}

// The blocks of index bytes as the game's reader sees them: name and number,
// in file order; a block's own fields and name hold no other.
using MapListing = std::vector<std::pair<std::string, int>>;
inline MapListing ListedMaps(std::string_view res) {
    MapListing listed;
    const auto byte = [&res](std::size_t at) { return static_cast<unsigned char>(res[at]); };
    for (std::size_t i = 54; i + 16 < res.size(); ++i) {
        if (res.substr(i, 4) != std::string_view("\x05\0\0\0", 4) || byte(i + 4) < 1) continue;
        const std::size_t length = byte(i + 8);
        if (length < 2 || length > 64 || i + 12 + length - 1 > res.size()) continue;
        listed.emplace_back(std::string(res.substr(i + 12, length - 1)), byte(i + 4));
        i += 11 + length;
    }
    return listed;
}

}  // namespace testsupport
