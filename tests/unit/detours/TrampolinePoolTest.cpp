#include <gtest/gtest.h>

#include <windows.h>

#include "detours/TrampolinePool.h"
#include "unit/detours/SyntheticCode.h"

using modroute::detours::TrampolinePool;

// Every slot of a full region lies inside it, and the slot after comes from
// a new region: a slot past the end would be someone else's memory.
TEST(TrampolinePool, SlotsStayInsideTheirRegionAndAFullRegionIsFollowedByANewOne) {
    constexpr std::size_t kPerRegion = TrampolinePool::kRegionSize / TrampolinePool::kSlotSize;
    auto regionOf = [](const void* p) {
        MEMORY_BASIC_INFORMATION info{};
        VirtualQuery(p, &info, sizeof(info));
        return info.State == MEM_COMMIT && info.Protect == PAGE_EXECUTE_READ ? info.AllocationBase : nullptr;
    };
    TrampolinePool pool;
    const void* firstRegion = nullptr;
    for (std::size_t i = 0; i <= kPerRegion; ++i) {
        std::uint8_t* const slot = pool.Acquire();
        const void* region = regionOf(slot);
        if (i == 0) firstRegion = region;
        ASSERT_TRUE(region != nullptr && regionOf(slot + TrampolinePool::kSlotSize - 1) == region) << i;
        const auto address = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(slot));
        ASSERT_TRUE(pool.Contains(address) && pool.Contains(address + TrampolinePool::kSlotSize - 1)) << i;
        ASSERT_EQ(region == firstRegion, i < kPerRegion) << i;
        if (i + 1 < kPerRegion) continue;
        ASSERT_TRUE(pool.Fill(slot, detourtest::Hex("B8 2A 00 00 00 C3")));  // mov eax,42; ret
        EXPECT_EQ(reinterpret_cast<int (*)()>(slot)(), 42);
        EXPECT_EQ(regionOf(slot), region);  // execute-read again
    }
}
