// The in-memory patches of the game's code, as data: the two switchable
// patches are found by a byte signature, the character patch writes one byte
// into two `mov eax, imm32` instructions at fixed offsets of tavren.exe.
// Pure: the Win32 side searches the loaded image with FindSignature and
// writes what these descriptions say.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace modroute {

// A code sequence to look for and what to write over it once found.
struct CodePatch {
    std::span<const std::uint8_t> signature;
    std::size_t patchOffset;                    // from the start of the match
    std::span<const std::uint8_t> replacement;  // written at match + patchOffset
};

// Makes one conditional jump (jne) never taken (jno), unlocking the hidden commands.
const CodePatch& HiddenCommandPatch();
// Replaces a 33-byte sequence of the game's loadsnp handling.
const CodePatch& LoadsnpPatch();

// Offset of the first match of signature in image, trying the starts
// 0 .. image.size() - signature.size() - 1 in increasing order: a match that
// ends exactly at the end of the image is not looked at. Nothing for an empty
// signature or one that leaves no start to try.
std::optional<std::size_t> FindSignature(std::span<const std::uint8_t> image,
                                         std::span<const std::uint8_t> signature);

// Character patch: each site is a 5-byte `mov eax, imm32`; the byte after the
// opcode (the low byte of the page-button divisor) receives CharacterPatchByte.
inline constexpr std::uint32_t kCharacterPatchSites[] = {0x57642, 0x576BA};  // left, right button
inline constexpr std::size_t kCharacterPatchSiteLength = 5;
inline constexpr std::size_t kCharacterPatchByteOffset = 1;
// The character patch is pointless below this many characters.
inline constexpr int kMinimumPatchedCharacterCount = 2;

// (count - 10) modulo 256, as a byte: 13 characters give 3, 5 give 251.
constexpr std::uint8_t CharacterPatchByte(int count) {
    return static_cast<std::uint8_t>(static_cast<unsigned>(count) - 10u);
}

}  // namespace modroute
