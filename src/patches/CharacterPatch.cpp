#include "patches/CharacterPatch.h"

#include <windows.h>
#include <psapi.h>

#include <atomic>

#include "patches/CharacterCount.h"
#include "patches/CodeSignatures.h"
#include "patches/PmodelScan.h"

namespace modroute {
namespace {

constexpr std::uint8_t kMovEaxImm32 = 0xB8;

std::atomic<bool> g_characterPatchApplied{false};

}  // namespace

int CountCharacters(std::span<const std::string> pmodelFolders) {
    return CharacterCountFromLargestIndex(LargestCharacterIndexInFolders(pmodelFolders));
}

int PatchCharacterSites(std::uint8_t* moduleBase, std::size_t imageSize, int count) {
    const std::uint8_t divisor[] = {CharacterPatchByte(count)};
    int written = 0;
    for (const std::uint32_t site : kCharacterPatchSites) {
        if (site > imageSize || imageSize - site < kCharacterPatchSiteLength) continue;
        std::uint8_t* const instruction = moduleBase + site;
        DWORD previous = 0;
        if (!VirtualProtect(instruction, kCharacterPatchSiteLength, PAGE_EXECUTE_READWRITE, &previous)) continue;
        const bool isDivisor = instruction[0] == kMovEaxImm32;
        if (isDivisor) instruction[kCharacterPatchByteOffset] = divisor[0];
        DWORD ignored = 0;
        VirtualProtect(instruction, kCharacterPatchSiteLength, previous, &ignored);
        if (!isDivisor) continue;
        FlushInstructionCache(GetCurrentProcess(), instruction, kCharacterPatchSiteLength);
        ++written;
    }
    return written;
}

void ApplyCharacterPatch(int count) {
    if (count < kMinimumPatchedCharacterCount) return;
    HMODULE game = GetModuleHandleA("tavren.exe");
    if (game == nullptr) return;
    MODULEINFO info = {};
    if (!K32GetModuleInformation(GetCurrentProcess(), game, &info, sizeof info)) return;
    const int sites = PatchCharacterSites(static_cast<std::uint8_t*>(static_cast<void*>(game)), info.SizeOfImage,
                                          count);
    if (sites == static_cast<int>(std::size(kCharacterPatchSites))) {
        g_characterPatchApplied.store(true, std::memory_order_release);
    }
}

bool IsCharacterPatchApplied() { return g_characterPatchApplied.load(std::memory_order_acquire); }

void RunCharacterStep(std::span<const std::string> pmodelFolders) {
    if (IsCharacterPatchApplied()) return;
    try {
        const int count = CountCharacters(pmodelFolders);
        if (count > 0) ApplyCharacterPatch(count);
    } catch (...) {
        // The page buttons keep the game's own divisors.
    }
}

}  // namespace modroute
