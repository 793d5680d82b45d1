#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "patches/CodeSignatures.h"

using namespace modroute;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes FromHex(const std::string& hex) {
    std::istringstream stream(hex);
    Bytes bytes;
    unsigned value = 0;
    while (stream >> std::hex >> value) bytes.push_back(static_cast<std::uint8_t>(value));
    return bytes;
}

std::string ToHex(std::span<const std::uint8_t> bytes) {
    std::string text;
    for (std::uint8_t b : bytes) {
        char part[4];
        std::snprintf(part, sizeof part, "%s%02X", text.empty() ? "" : " ", b);
        text += part;
    }
    return text;
}

// What the game's code looks like before and after each patch, as published
// for this game version.
const char kHiddenBefore[] = "00 8B F0 85 C9 75 1F BF 10 98 5C 00 B9 06 00 00";
const char kHiddenAfter[] = "00 8B F0 85 C9 71 1F BF 10 98 5C 00 B9 06 00 00";
const char kLoadsnpBefore[] =
    "00 90 90 FF 36 E8 BE 3C 05 00 83 C4 04 E8 9C 2F 05 00 50 8B 0D 9C 61 66 00 E8 A0 21 FD FF E9 66 0E";
const char kLoadsnpAfter[] =
    "3B 77 04 75 08 83 C8 FF E9 7D 0E 00 00 8B 0E 8B 45 00 6A 01 51 8B CD FF 90 14 01 00 00 C6 85 78 1D";

// Writes the patch over the first match, as the game-side code does.
bool Apply(Bytes& image, const CodePatch& patch) {
    const auto match = FindSignature(image, patch.signature);
    if (!match) return false;
    std::copy(patch.replacement.begin(), patch.replacement.end(), image.begin() + *match + patch.patchOffset);
    return true;
}

// Filler that shares the signatures' first byte, so a search that only
// compares the first byte would stop early.
Bytes Filler(std::size_t size) { return Bytes(size, 0x00); }

}  // namespace

TEST(CodeSignatures, PatchesTurnTheGameBytesIntoThePatchedBytes) {
    struct Case {
        const char* name;
        const CodePatch& patch;
        const char* before;
        const char* after;
    };
    const Case cases[] = {
        {"hidden command", HiddenCommandPatch(), kHiddenBefore, kHiddenAfter},
        {"loadsnp", LoadsnpPatch(), kLoadsnpBefore, kLoadsnpAfter},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ToHex(c.patch.signature), c.before);
        // Surrounding bytes stay as they were; the second application finds nothing.
        Bytes image = Filler(7);
        const Bytes before = FromHex(c.before);
        image.insert(image.end(), before.begin(), before.end());
        image.push_back(0xCC);
        image.push_back(0xCC);
        ASSERT_TRUE(Apply(image, c.patch));
        EXPECT_EQ(ToHex(std::span(image).subspan(7, before.size())), c.after);
        EXPECT_EQ(ToHex(std::span(image).first(7)), ToHex(Filler(7)));
        EXPECT_EQ(ToHex(std::span(image).last(2)), "CC CC");
        EXPECT_FALSE(Apply(image, c.patch));
    }
}

TEST(CodeSignatures, SearchFindsTheFirstMatchBeforeTheEndBound) {
    const Bytes signature = FromHex(kHiddenBefore);
    const std::size_t n = signature.size();
    auto imageWith = [&](std::size_t size, std::vector<std::size_t> places) {
        Bytes image(size, 0x90);
        for (std::size_t at : places) std::copy(signature.begin(), signature.end(), image.begin() + at);
        return image;
    };
    struct Case {
        const char* name;
        Bytes image;
        std::optional<std::size_t> expected;
    };
    Bytes almost = imageWith(64, {});
    std::copy(signature.begin(), signature.end() - 1, almost.begin() + 10);  // last byte missing
    Bytes prefixThenMatch = imageWith(64, {20});
    std::copy(signature.begin(), signature.begin() + 6, prefixThenMatch.begin() + 14);  // right before it
    const Case cases[] = {
        {"at the start", imageWith(64, {0}), 0},
        {"first of two", imageWith(64, {40, 8}), 8},
        {"ending one byte before the end", imageWith(64, {64 - n - 1}), 64 - n - 1},
        {"ending at the end is past the bound", imageWith(64, {64 - n}), std::nullopt},
        {"image exactly one signature long", imageWith(n, {0}), std::nullopt},
        {"image one byte longer", imageWith(n + 1, {0}), 0},
        {"image shorter than the signature", Bytes(signature.begin(), signature.end() - 3), std::nullopt},
        {"empty image", Bytes{}, std::nullopt},
        {"no match", imageWith(64, {}), std::nullopt},
        {"all but the last byte", almost, std::nullopt},
        {"partial match just before a real one", prefixThenMatch, 20},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FindSignature(c.image, signature), c.expected) << c.name;
    }
    EXPECT_EQ(FindSignature(imageWith(64, {0}), {}), std::nullopt) << "empty signature";
}

TEST(CodeSignatures, CharacterPatchByteIsCountMinusTenModulo256) {
    const std::pair<int, int> cases[] = {
        {13, 3}, {41, 31}, {10, 0}, {5, 251}, {2, 248}, {265, 255}, {266, 0}, {300, 34},
    };
    for (const auto& [count, expected] : cases) EXPECT_EQ(CharacterPatchByte(count), expected) << count;
    EXPECT_EQ(kCharacterPatchSites[0], 0x57642u);
    EXPECT_EQ(kCharacterPatchSites[1], 0x576BAu);
}
