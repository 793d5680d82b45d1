// The signature search and the divisor byte. (What the patches make of the
// game's bytes is checked in the stand-in game.)
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "patches/CodeSignatures.h"

using namespace modroute;

TEST(CodeSignatures, SearchFindsTheFirstMatchBeforeTheEndBound) {
    const std::span<const std::uint8_t> signature = HiddenCommandPatch().signature;
    const std::size_t n = signature.size();
    auto imageWith = [&](std::size_t size, std::vector<std::size_t> places, std::size_t length = 0) {
        std::vector<std::uint8_t> image(size, 0x90);
        for (std::size_t at : places) std::copy_n(signature.begin(), length ? length : n, image.begin() + at);
        return image;
    };
    std::vector<std::uint8_t> prefixThenMatch = imageWith(64, {20});
    std::copy_n(signature.begin(), 6, prefixThenMatch.begin() + 14);  // right before it
    const std::pair<std::vector<std::uint8_t>, std::optional<std::size_t>> cases[] = {
        {imageWith(64, {40, 8}), 8},
        {imageWith(64, {64 - n - 1}), 64 - n - 1},  // ending one byte before the end
        {imageWith(64, {64 - n}), std::nullopt},    // ending at the end is past the bound
        {imageWith(n + 1, {0}), 0},
        {imageWith(n - 3, {0}, n - 3), std::nullopt},
        {imageWith(64, {10}, n - 1), std::nullopt},  // all but the last byte
        {prefixThenMatch, 20},
    };
    for (const auto& [image, expected] : cases) EXPECT_EQ(FindSignature(image, signature), expected) << image.size();
    EXPECT_EQ(FindSignature(imageWith(64, {0}), {}), std::nullopt) << "empty signature";
}

TEST(CodeSignatures, CharacterPatchByteIsCountMinusTenModulo256) {
    const std::pair<int, int> cases[] = {{13, 3}, {10, 0}, {5, 251}, {265, 255}, {266, 0}};
    for (const auto& [count, expected] : cases) EXPECT_EQ(CharacterPatchByte(count), expected) << count;
}
