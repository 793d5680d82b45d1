// Test packs made by the writer.
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

inline std::string MakePack(const std::vector<modroute::PvkPackEntry>& entries,
                            const modroute::PvkWriteOptions& options = {}) {
    std::vector<std::uint8_t> pack;
    EXPECT_EQ(modroute::WritePvk(entries, options, pack), modroute::PvkWriteError::None);
    return Text(pack);
}

}  // namespace packbytes
