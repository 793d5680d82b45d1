#include "patches/GameCode.h"

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstring>
#include <mutex>

namespace modroute {
namespace {

bool IsReadable(const MEMORY_BASIC_INFORMATION& region) {
    if (region.State != MEM_COMMIT || (region.Protect & PAGE_GUARD) != 0) return false;
    constexpr DWORD kReadable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                                PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    return (region.Protect & kReadable) != 0;
}

// Calls search(start, length) for each stretch of readable memory in
// [image, image + size), in increasing order, until one returns true.
template <typename Search>
bool ForEachReadableStretch(std::uint8_t* image, std::size_t size, Search search) {
    std::uint8_t* const end = image + size;
    std::uint8_t* stretch = nullptr;  // start of the readable stretch being gathered
    std::uint8_t* at = image;
    while (at < end) {
        MEMORY_BASIC_INFORMATION region = {};
        if (VirtualQuery(at, &region, sizeof region) == 0) break;
        std::uint8_t* const regionEnd =
            std::min(end, static_cast<std::uint8_t*>(region.BaseAddress) + region.RegionSize);
        if (regionEnd <= at) break;
        if (IsReadable(region)) {
            if (stretch == nullptr) stretch = at;
        } else if (stretch != nullptr) {
            if (search(stretch, static_cast<std::size_t>(at - stretch))) return true;
            stretch = nullptr;
        }
        at = regionEnd;
    }
    return stretch != nullptr && search(stretch, static_cast<std::size_t>(at - stretch));
}

// A patch once written is never written again: a second search would find
// the next match of its signature, code that is not the patch's.
struct AppliedOnce {
    std::mutex lock;
    bool applied = false;
};
AppliedOnce g_hiddenCommand;
AppliedOnce g_loadsnp;

void ApplyToMainModule(const CodePatch& patch, AppliedOnce& once) noexcept {
    try {
        std::lock_guard guard(once.lock);
        if (!once.applied) once.applied = PatchMainModule(patch);
    } catch (...) {
        // The game runs unpatched.
    }
}

}  // namespace

bool WriteCodeBytes(std::uint8_t* at, std::span<const std::uint8_t> bytes) {
    DWORD previous = 0;
    if (!VirtualProtect(at, bytes.size(), PAGE_EXECUTE_READWRITE, &previous)) return false;
    std::memcpy(at, bytes.data(), bytes.size());
    DWORD ignored = 0;
    VirtualProtect(at, bytes.size(), previous, &ignored);
    FlushInstructionCache(GetCurrentProcess(), at, bytes.size());
    return true;
}

bool PatchFirstMatch(std::uint8_t* image, std::size_t size, const CodePatch& patch) {
    bool written = false;
    // Only the first match counts, written or not.
    ForEachReadableStretch(image, size, [&](std::uint8_t* start, std::size_t length) {
        const auto match = FindSignature(std::span<const std::uint8_t>(start, length), patch.signature);
        if (match) written = WriteCodeBytes(start + *match + patch.patchOffset, patch.replacement);
        return match.has_value();
    });
    return written;
}

bool PatchMainModule(const CodePatch& patch) {
    HMODULE mainModule = GetModuleHandleA(nullptr);
    if (mainModule == nullptr) return false;
    MODULEINFO info = {};
    if (!K32GetModuleInformation(GetCurrentProcess(), mainModule, &info, sizeof info)) return false;
    return PatchFirstMatch(static_cast<std::uint8_t*>(info.lpBaseOfDll), info.SizeOfImage, patch);
}

void ApplyHiddenCommandPatch() { ApplyToMainModule(HiddenCommandPatch(), g_hiddenCommand); }

void ApplyLoadsnpPatch() { ApplyToMainModule(LoadsnpPatch(), g_loadsnp); }

void ApplySwitchablePatches(bool hiddenCommand, bool loadsnp) {
    if (hiddenCommand) ApplyHiddenCommandPatch();
    if (loadsnp) ApplyLoadsnpPatch();
}

}  // namespace modroute
