// Packs written into a game folder with the system's own pack writer.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "GameHarness.h"
#include "vfs/PvkFormat.h"

namespace e2e {

// (directory, name, data) of one packed file.
using PackedFile = std::tuple<std::string, std::string, std::string>;

// The bytes of a pack of the files.
inline std::string PackBytes(const std::vector<PackedFile>& files) {
    std::vector<modroute::PvkPackEntry> entries;
    for (const auto& [directory, name, data] : files) {
        entries.push_back({name, directory, {reinterpret_cast<const std::uint8_t*>(data.data()), data.size()}});
    }
    std::vector<std::uint8_t> pack;
    EXPECT_EQ(modroute::WritePvk(entries, {}, pack), modroute::PvkWriteError::None);
    return std::string(pack.begin(), pack.end());
}

// A pack at a path of the game; a larger file size pads it with a tail that
// is never read.
inline void WritePack(gamerun::Game& game, const std::string& relative, const std::vector<PackedFile>& files,
                      std::uint64_t fileSize = 0) {
    const std::string pack = PackBytes(files);
    game.Write(relative, pack);
    if (fileSize > pack.size()) {
        HANDLE file = CreateFileW(gamerun::Widen(game.PathOf(relative)).c_str(), GENERIC_WRITE, 0, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        LARGE_INTEGER end;
        end.QuadPart = static_cast<LONGLONG>(fileSize);
        SetFilePointerEx(file, end, nullptr, FILE_BEGIN);
        SetEndOfFile(file);
        CloseHandle(file);
    }
}

}  // namespace e2e
