// Test packs made by the writer, and the bytes to damage them with.
#pragma once

#include <gtest/gtest.h>

#include <span>
#include <string>
#include <vector>

#include "vfs/PvkFormat.h"

namespace packbytes {

inline std::span<const std::uint8_t> Bytes(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}
inline std::string Text(std::span<const std::uint8_t> bytes) { return {bytes.begin(), bytes.end()}; }

inline modroute::PvkPackEntry File(std::string name, std::string directory, std::string_view data) {
    return {std::move(name), std::move(directory), Bytes(data)};
}

inline std::vector<std::uint8_t> MakePack(const std::vector<modroute::PvkPackEntry>& entries,
                                          const modroute::PvkWriteOptions& options = {}) {
    std::vector<std::uint8_t> pack;
    EXPECT_EQ(modroute::WritePvk(entries, options, pack), modroute::PvkWriteError::None);
    return pack;
}

inline void PutU32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// For packs without a variable block.
constexpr std::size_t kContentOffsetField = 908 + 164;
constexpr std::size_t kContentSizeField = 908 + 168;
constexpr std::size_t kHeaderEnd = 908 + 208;

}  // namespace packbytes
