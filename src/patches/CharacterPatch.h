// The character page patch: the characters that the game folder, the base
// folder and the selected mod provide are counted from their pmodel files, and
// the count goes into the two page-button divisors of tavren.exe. Applied
// once per process, by the first file-hook installation that finds the game
// loaded and at least two characters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace modroute {

// Largest character index in the pmodel folders (PmodelFolders), plus one; at least 1.
int CountCharacters(std::span<const std::string> pmodelFolders);

// Writes CharacterPatchByte(count) into each page-button divisor of the
// module image [moduleBase, moduleBase + imageSize). A site that lies outside
// the image or does not hold a `mov eax, imm32` (another game version) is
// left alone. Returns how many sites were written.
int PatchCharacterSites(std::uint8_t* moduleBase, std::size_t imageSize, int count);

// Below two characters nothing is written. With tavren.exe loaded, patches
// both sites; the applied flag is set only when both were written.
void ApplyCharacterPatch(int count);
bool IsCharacterPatchApplied();

// The character step after the file hooks are in: counts and patches unless
// the patch is already applied.
void RunCharacterStep(std::span<const std::string> pmodelFolders);

}  // namespace modroute
