// The code patches written into pages of this process. What the patches make
// of the game's bytes is checked in the stand-in game; the signature search by
// the fuzz target.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "patches/CharacterPatch.h"
#include "patches/CodeSignatures.h"
#include "patches/GameCode.h"

using namespace modroute;

namespace {

const std::span<const std::uint8_t> kHidden = HiddenCommandPatch().signature;

// Pages of memory filled with int3, each with the protection given once Protect runs.
struct Pages {
    explicit Pages(std::vector<DWORD> given) : size(given.size() * 4096), protections(std::move(given)) {
        base = static_cast<std::uint8_t*>(VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        std::memset(base, 0xCC, size);
    }
    void Protect() {
        DWORD previous = 0;
        for (std::size_t p = 0; p < protections.size(); ++p) VirtualProtect(base + p * 4096, 4096, protections[p], &previous);
    }
    DWORD ProtectionOf(std::size_t offset) const {
        MEMORY_BASIC_INFORMATION region = {};
        return VirtualQuery(base + offset, &region, sizeof region), region.Protect;
    }
    ~Pages() { VirtualFree(base, 0, MEM_RELEASE); }
    std::size_t size;
    std::vector<DWORD> protections;
    std::uint8_t* base;
};

}  // namespace

TEST(GameCode, PatchSkipsUnreadablePagesAndKeepsEveryPagesProtection) {
    Pages image({PAGE_EXECUTE_READ, PAGE_NOACCESS, PAGE_EXECUTE_READ, PAGE_READONLY});
    const std::size_t first = 2 * 4096 + 100, last = image.size - kHidden.size() - 1;
    std::copy(kHidden.begin(), kHidden.end(), image.base + first);
    std::copy(kHidden.begin(), kHidden.end(), image.base + last);  // up to the image's last byte, not including it
    image.Protect();
    ASSERT_TRUE(PatchFirstMatch(image.base, image.size, HiddenCommandPatch()));
    EXPECT_EQ(image.base[first + 5], 0x71);
    EXPECT_EQ(image.base[last + 5], 0x75);  // only the first match
    for (std::size_t page = 0; page < 4; ++page) EXPECT_EQ(image.ProtectionOf(page * 4096), image.protections[page]);
    EXPECT_FALSE(PatchFirstMatch(image.base, image.size - 1, HiddenCommandPatch()));
    ASSERT_TRUE(PatchFirstMatch(image.base, image.size, HiddenCommandPatch()));
    EXPECT_EQ(image.base[last + 5], 0x71);
    EXPECT_EQ(CharacterPatchByte(5), 251);  // count minus ten, modulo 256
}

