// The code patches written into memory of this process laid out like a game
// image: page protections kept, unreadable pages skipped, the first match
// only, and the character sites at their offsets.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "patches/CharacterPatch.h"
#include "patches/CodeSignatures.h"
#include "patches/GameCode.h"

using namespace modroute;

namespace {

const std::uint8_t kHidden[] = {0x00, 0x8B, 0xF0, 0x85, 0xC9, 0x75, 0x1F, 0xBF,
                                0x10, 0x98, 0x5C, 0x00, 0xB9, 0x06, 0x00, 0x00};

// Pages of memory, each with its own protection, filled with int3.
class Pages {
public:
    explicit Pages(std::size_t count) : m_size(count * kPage) {
        m_base = static_cast<std::uint8_t*>(VirtualAlloc(nullptr, m_size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        if (m_base != nullptr) std::memset(m_base, 0xCC, m_size);
    }
    ~Pages() { VirtualFree(m_base, 0, MEM_RELEASE); }
    Pages(const Pages&) = delete;
    Pages& operator=(const Pages&) = delete;

    static constexpr std::size_t kPage = 4096;
    std::uint8_t* Base() const { return m_base; }
    std::size_t Size() const { return m_size; }
    void Put(std::size_t offset, const std::uint8_t* bytes, std::size_t length) {
        std::memcpy(m_base + offset, bytes, length);
    }
    void Protect(std::size_t page, DWORD protection) {
        DWORD previous = 0;
        VirtualProtect(m_base + page * kPage, kPage, protection, &previous);
    }
    DWORD ProtectionOf(std::size_t page) const {
        MEMORY_BASIC_INFORMATION region = {};
        VirtualQuery(m_base + page * kPage, &region, sizeof region);
        return region.Protect;
    }
    std::uint8_t At(std::size_t offset) const { return m_base[offset]; }

private:
    std::size_t m_size;
    std::uint8_t* m_base = nullptr;
};

}  // namespace

TEST(GameCode, PatchSkipsUnreadablePagesAndKeepsEveryPagesProtection) {
    Pages image(4);
    ASSERT_NE(image.Base(), nullptr);
    const std::size_t first = 2 * Pages::kPage + 100;
    const std::size_t second = 3 * Pages::kPage + 8;
    image.Put(first, kHidden, sizeof kHidden);
    image.Put(second, kHidden, sizeof kHidden);
    const DWORD protections[] = {PAGE_EXECUTE_READ, PAGE_NOACCESS, PAGE_EXECUTE_READ, PAGE_READONLY};
    for (std::size_t page = 0; page < 4; ++page) image.Protect(page, protections[page]);

    ASSERT_TRUE(PatchFirstMatch(image.Base(), image.Size(), HiddenCommandPatch()));
    EXPECT_EQ(image.At(first + 5), 0x71);
    EXPECT_EQ(image.At(second + 5), 0x75);  // only the first match
    for (std::size_t page = 0; page < 4; ++page) EXPECT_EQ(image.ProtectionOf(page), protections[page]) << page;

    // The patched place no longer matches; the second one is next.
    ASSERT_TRUE(PatchFirstMatch(image.Base(), image.Size(), HiddenCommandPatch()));
    EXPECT_EQ(image.At(second + 5), 0x71);
    EXPECT_FALSE(PatchFirstMatch(image.Base(), image.Size(), HiddenCommandPatch()));
    EXPECT_FALSE(PatchFirstMatch(image.Base(), image.Size(), LoadsnpPatch()));

    // Across pages of different protection, up to the image's last byte but never including it.
    Pages edge(2);
    const std::size_t at = edge.Size() - sizeof kHidden - 1;
    edge.Put(at, kHidden, sizeof kHidden);
    edge.Protect(0, PAGE_EXECUTE_READ);
    edge.Protect(1, PAGE_READONLY);
    EXPECT_FALSE(PatchFirstMatch(edge.Base(), edge.Size() - 1, HiddenCommandPatch()));
    ASSERT_TRUE(PatchFirstMatch(edge.Base(), edge.Size(), HiddenCommandPatch()));
    EXPECT_EQ(edge.At(at + 5), 0x71);
}

TEST(GameCode, WriteIntoMemoryThatCannotBeMadeWritableWritesNothing) {
    void* reserved = VirtualAlloc(nullptr, Pages::kPage, MEM_RESERVE, PAGE_NOACCESS);
    ASSERT_NE(reserved, nullptr);
    const std::uint8_t byte[] = {0x71};
    EXPECT_FALSE(WriteCodeBytes(static_cast<std::uint8_t*>(reserved), byte));
    VirtualFree(reserved, 0, MEM_RELEASE);
}

TEST(CharacterPatch, DivisorByteGoesIntoBothMovInstructionsOfTheImage) {
    constexpr std::size_t kLeft = 0x57642;
    constexpr std::size_t kRight = 0x576BA;
    const std::uint8_t movEax20[] = {0xB8, 0x14, 0x00, 0x00, 0x00};
    struct Case {
        const char* name;
        int count;
        std::size_t imageSize;
        bool rightIsMov;
        int expectedSites;
        std::uint8_t left;
        std::uint8_t right;
    };
    const std::size_t whole = kRight + 5;
    const Case cases[] = {
        {"41 characters", 41, whole, true, 2, 31, 31},
        {"right site cut off by the image's end", 13, whole - 1, true, 1, 3, 0x14},
        {"right site holds another instruction", 13, whole, false, 1, 3, 0x14},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Pages image((whole + Pages::kPage - 1) / Pages::kPage);
        ASSERT_NE(image.Base(), nullptr);
        image.Put(kLeft, movEax20, sizeof movEax20);
        if (c.rightIsMov) image.Put(kRight, movEax20, sizeof movEax20);
        for (std::size_t page = 0; page * Pages::kPage < image.Size(); ++page) image.Protect(page, PAGE_EXECUTE_READ);

        EXPECT_EQ(PatchCharacterSites(image.Base(), c.imageSize, c.count), c.expectedSites);
        EXPECT_EQ(image.At(kLeft + 1), c.left);
        EXPECT_EQ(image.At(kRight + 1), c.rightIsMov ? c.right : 0xCC);
        // The opcode and the divisor's upper bytes stay.
        EXPECT_EQ(image.At(kLeft + 2), 0x00);
        EXPECT_EQ(image.ProtectionOf(kLeft / Pages::kPage), static_cast<DWORD>(PAGE_EXECUTE_READ));
    }
}
