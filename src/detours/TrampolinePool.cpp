#include "detours/TrampolinePool.h"

#include <windows.h>

#include <cstring>

#include "detours/CodeMemory.h"

namespace modroute::detours {
namespace {

constexpr std::size_t kSlotsPerRegion = TrampolinePool::kRegionSize / TrampolinePool::kSlotSize;

std::uint32_t AddressOf(const void* p) { return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(p)); }

}  // namespace

TrampolinePool::~TrampolinePool() {
    for (std::uint8_t* region : m_regions) VirtualFree(region, 0, MEM_RELEASE);
}

std::uint8_t* TrampolinePool::Acquire() {
    if (!m_released.empty()) {
        std::uint8_t* slot = m_released.back();
        m_released.pop_back();
        return slot;
    }
    if (m_regions.empty() || m_usedInLast == kSlotsPerRegion) {
        void* region = VirtualAlloc(nullptr, kRegionSize, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
        if (region == nullptr) return nullptr;
        std::memset(region, 0xCC, kRegionSize);
        DWORD previous = 0;
        try {
            m_regions.push_back(static_cast<std::uint8_t*>(region));
        } catch (...) {
            VirtualFree(region, 0, MEM_RELEASE);
            return nullptr;
        }
        VirtualProtect(region, kRegionSize, PAGE_EXECUTE_READ, &previous);
        m_usedInLast = 0;
    }
    return m_regions.back() + kSlotSize * m_usedInLast++;
}

void TrampolinePool::Release(std::uint8_t* slot) {
    try {
        m_released.push_back(slot);
    } catch (...) {
        // Losing a slot costs 64 bytes; nothing else depends on it.
    }
}

bool TrampolinePool::Fill(std::uint8_t* slot, std::span<const std::uint8_t> code) {
    if (code.size() > kSlotSize) return false;
    UnlockedRange range{AddressOf(slot), kSlotSize};
    if (range.Unlock() != NO_ERROR) return false;
    std::memset(slot, 0xCC, kSlotSize);
    std::memcpy(slot, code.data(), code.size());
    range.Restore();
    FlushInstructionCache(GetCurrentProcess(), slot, kSlotSize);
    return true;
}

bool TrampolinePool::Contains(std::uint32_t address) const {
    for (const std::uint8_t* region : m_regions) {
        if (address >= AddressOf(region) && address - AddressOf(region) < kRegionSize) return true;
    }
    return false;
}

}  // namespace modroute::detours
