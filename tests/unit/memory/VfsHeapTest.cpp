// The private file-data heap: the count of bytes handed out, the cap it keeps
// (also against threads at once), pointers it never gave, Clear.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <thread>
#include <vector>

#include "memory/VfsHeap.h"

using namespace modroute;

namespace {

constexpr std::uint32_t kMiB = 1u << 20;

std::pair<std::uint32_t, std::uint32_t> CurrentAndPeak(const VfsHeap& heap) { return {heap.Stats().currentBytes, heap.Stats().peakBytes}; }

TEST(VfsHeap, RefusesWhatItCannotServeKeepsTheCapExactlyAndClearForgetsTheCount) {
    VfsHeap heap;
    EXPECT_EQ(heap.Allocate(100, "before"), nullptr);
    ASSERT_TRUE(heap.Initialize(0, 1));
    EXPECT_TRUE(heap.Initialize(0, 0));  // a second Initialize keeps the first cap
    for (const std::uint32_t size : {0u, 0xFFFFFFF7u /* count wraps */, 0xFFFFFFFCu /* header wraps */}) {
        EXPECT_EQ(heap.Allocate(size, "refused"), nullptr) << size;
    }
    auto* most = static_cast<char*>(heap.Allocate(kMiB - 100, "most"));
    void* rest = heap.Allocate(100, "rest");  // exactly to the cap
    ASSERT_TRUE(most && rest);
    EXPECT_EQ(heap.Allocate(1, "one byte more"), nullptr);
    // Pointers it never handed out are refused; the one at the start of a page
    // after an inaccessible one must not be read.
    auto* pages = static_cast<char*>(VirtualAlloc(nullptr, 2 * 4096, MEM_RESERVE, PAGE_NOACCESS));
    ASSERT_NE(VirtualAlloc(pages + 4096, 4096, MEM_COMMIT, PAGE_READWRITE), nullptr);
    EXPECT_FALSE(heap.Free(pages + 4096));
    EXPECT_FALSE(heap.Free(most + 8));
    VirtualFree(pages, 0, MEM_RELEASE);
    heap.Clear();
    EXPECT_EQ(CurrentAndPeak(heap), std::make_pair(0u, kMiB));
    void* fresh = heap.Allocate(50, "fresh");
    // Freeing a block from before the Clear takes no bytes of the ones handed out since.
    EXPECT_TRUE(heap.Free(rest));
    EXPECT_FALSE(heap.Free(rest));
    EXPECT_EQ(CurrentAndPeak(heap), std::make_pair(50u, kMiB));
    most[kMiB - 101] = 'x';  // still valid
    EXPECT_TRUE(heap.Free(fresh) && heap.Free(most) && heap.Validate());
    // 4096 MiB and up are out of a 32-bit process's reach; 4097 would wrap to 1 MiB.
    EXPECT_EQ(VfsHeapCapBytes(4095), 4095ull * kMiB);
    EXPECT_EQ(VfsHeapCapBytes(4097), 0u);
}

TEST(VfsHeap, CountStaysExactAndUnderTheCapWithEightThreads) {
    VfsHeap heap;
    ASSERT_TRUE(heap.Initialize(0, 1));
    // Bytes the workers hold, counted after an Allocate succeeded and before the
    // Free: never above what the heap counted, so never above the cap.
    std::atomic<std::uint64_t> held{0}, mostHeld{0};
    std::atomic<int> ready{0};  // all threads start together
    std::vector<std::thread> workers;
    for (int t = 0; t < 8; ++t) {
        workers.emplace_back([&, t] {
            for (++ready; ready < 8;) std::this_thread::yield();
            std::vector<std::pair<void*, std::uint32_t>> blocks;
            for (int i = 0; i < 20000; ++i) {
                // Four blocks of up to 256 KiB per thread: the cap is hit again and again.
                const std::uint32_t size = 1 + static_cast<std::uint32_t>((i * 7919 + t * 104729) % (256 * 1024));
                if (void* block = heap.Allocate(size, "worker")) {
                    const std::uint64_t now = held += size;
                    for (std::uint64_t most = mostHeld; most < now && !mostHeld.compare_exchange_weak(most, now);) {
                    }
                    blocks.emplace_back(block, size);
                }
                if (blocks.size() == 4 || i == 19999) {
                    for (const auto& [block, blockSize] : blocks) held -= blockSize, heap.Free(block);
                    blocks.clear();
                }
            }
        });
    }
    for (std::thread& worker : workers) worker.join();
    EXPECT_EQ(heap.Stats().currentBytes, 0u);
    EXPECT_LE(mostHeld.load(), kMiB);
}

}  // namespace
