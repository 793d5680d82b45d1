#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "detours/TrampolinePool.h"
#include "unit/detours/SyntheticCode.h"

using modroute::detours::TrampolinePool;

// Every slot of a full region lies inside it, and the slot after comes from
// a new region: a slot past the end would be someone else's memory.
TEST(TrampolinePool, SlotsStayInsideTheirRegionAndAFullRegionIsFollowedByANewOne) {
    constexpr std::size_t kPerRegion = TrampolinePool::kRegionSize / TrampolinePool::kSlotSize;
    TrampolinePool pool;
    auto regionOf = [](const void* p) {
        MEMORY_BASIC_INFORMATION info{};
        VirtualQuery(p, &info, sizeof(info));
        return info.State == MEM_COMMIT && info.Protect == PAGE_EXECUTE_READ ? info.AllocationBase : nullptr;
    };
    std::vector<std::uint8_t*> slots;
    for (std::size_t i = 0; i <= kPerRegion; ++i) {
        std::uint8_t* slot = pool.Acquire();
        ASSERT_NE(slot, nullptr);
        const void* region = regionOf(slot);
        ASSERT_NE(region, nullptr) << i;
        ASSERT_EQ(regionOf(slot + TrampolinePool::kSlotSize - 1), region) << i;
        const auto first = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(slot));
        ASSERT_TRUE(pool.Contains(first) && pool.Contains(first + TrampolinePool::kSlotSize - 1)) << i;
        ASSERT_EQ(region == regionOf(slots.empty() ? slot : slots.front()), i < kPerRegion) << i;
        slots.push_back(slot);
    }
    for (std::uint8_t* slot : {slots.front(), slots[kPerRegion - 1], slots.back()}) {
        ASSERT_TRUE(pool.Fill(slot, detourtest::Hex("B8 2A 00 00 00 C3")));  // mov eax,42; ret
        EXPECT_EQ(reinterpret_cast<int (*)()>(slot)(), 42);
        EXPECT_EQ(detourtest::ProtectionOf(slot), static_cast<DWORD>(PAGE_EXECUTE_READ));
    }
}
