// Writes the in-memory patches into the running game's code: the two
// switchable patches are searched for in the game's main module, in every
// committed readable page of its image, and written over the first match.
// Nothing here throws; a patch that cannot be placed leaves the code as it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "patches/CodeSignatures.h"

namespace modroute {

// Copies bytes over code: the range is made writable for the write and gets
// its previous protection back afterwards. False, and nothing written, when
// the protection cannot be changed.
bool WriteCodeBytes(std::uint8_t* at, std::span<const std::uint8_t> bytes);

// Writes the patch over the first match of its signature in the image
// [image, image + size). Only readable memory is searched, so an image with a
// guarded or inaccessible page cannot fault the search. True when written.
bool PatchFirstMatch(std::uint8_t* image, std::size_t size, const CodePatch& patch);

// The same over the image of the process's main module.
bool PatchMainModule(const CodePatch& patch);

// Each is written at most once per process, over the first match.
void ApplyHiddenCommandPatch();
void ApplyLoadsnpPatch();
// The hidden-command patch when ToggleCommand is non-zero, then the loadsnp
// patch when OpenPlay is non-zero.
void ApplySwitchablePatches(bool hiddenCommand, bool loadsnp);

}  // namespace modroute
