// Executable memory for trampolines, carved into fixed-size slots from 64 KiB
// regions (one VirtualAlloc granule each) instead of a granule per hook.
// Slots that hooks have used are never given back: a thread may still be
// running in one, or hold its address, after the hook is gone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace modroute::detours {

class TrampolinePool {
public:
    static constexpr std::size_t kSlotSize = 64;
    static constexpr std::size_t kRegionSize = 64 * 1024;

    TrampolinePool() = default;
    // Gives every region back: only for a pool no hook has ever used a slot of.
    ~TrampolinePool();
    TrampolinePool(const TrampolinePool&) = delete;
    TrampolinePool& operator=(const TrampolinePool&) = delete;

    // A slot filled with int3; nullptr when no memory is left.
    std::uint8_t* Acquire();
    // Takes back a slot that no thread has ever been able to reach.
    void Release(std::uint8_t* slot);
    // Writes code at the start of a slot; the pages stay execute-read except
    // for the moment of the write. False when protection cannot be changed.
    bool Fill(std::uint8_t* slot, std::span<const std::uint8_t> code);
    bool Contains(std::uint32_t address) const;

private:
    std::vector<std::uint8_t*> m_regions;
    std::vector<std::uint8_t*> m_released;
    std::size_t m_usedInLast = 0;  // slots handed out from m_regions.back()
};

}  // namespace modroute::detours
