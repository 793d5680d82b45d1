// The private file-data heap: the count of bytes handed out, the cap it keeps
// (also against threads at once), large blocks, caps beyond 32 bits, Clear.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "memory/VfsHeap.h"

using namespace modroute;

namespace {

constexpr std::uint32_t kMiB = 1u << 20;

std::pair<std::uint32_t, std::uint32_t> CurrentAndPeak(const VfsHeap& heap) {
    return {heap.Stats().currentBytes, heap.Stats().peakBytes};
}

TEST(VfsHeap, RefusesWhatItCannotServeAndKeepsTheCount) {
    VfsHeap heap;
    EXPECT_EQ(heap.Allocate(100, "before"), nullptr);
    ASSERT_TRUE(heap.Initialize(0, 0));
    void* kept = heap.Allocate(100, "kept");
    ASSERT_NE(kept, nullptr);
    for (const std::uint32_t size : {0u, 0xF0000000u, 0xFFFFFFF7u /* count wraps */, 0xFFFFFFFCu /* header wraps */}) {
        EXPECT_EQ(heap.Allocate(size, "refused"), nullptr) << size;
    }
    // Pointers it never handed out, or freed already, are refused; the one at
    // the start of a page after an inaccessible one must not be read.
    int local = 0;
    auto* pages = static_cast<char*>(VirtualAlloc(nullptr, 2 * 4096, MEM_RESERVE, PAGE_NOACCESS));
    ASSERT_NE(VirtualAlloc(pages + 4096, 4096, MEM_COMMIT, PAGE_READWRITE), nullptr);
    for (void* foreign : {static_cast<void*>(&local), static_cast<void*>(pages + 4096), static_cast<void*>(static_cast<char*>(kept) + 8)}) {
        EXPECT_FALSE(heap.Free(foreign));
    }
    VirtualFree(pages, 0, MEM_RELEASE);
    void* big = heap.Allocate(4 * kMiB, "larger than a fixed-size heap allows");
    ASSERT_NE(big, nullptr);
    std::memset(big, 0xA5, 4 * kMiB);
    EXPECT_EQ(CurrentAndPeak(heap), std::make_pair(100u + 4 * kMiB, 100u + 4 * kMiB));
    EXPECT_TRUE(heap.Free(kept) && heap.Free(big));
    EXPECT_FALSE(heap.Free(kept));
    EXPECT_EQ(CurrentAndPeak(heap), std::make_pair(0u, 100u + 4 * kMiB));
    EXPECT_TRUE(heap.Validate());
}

TEST(VfsHeap, CapIsReachedExactlyAndClearForgetsTheCountButNotTheBlocks) {
    VfsHeap heap;
    ASSERT_TRUE(heap.Initialize(0, 1));
    EXPECT_TRUE(heap.Initialize(0, 0));  // a second Initialize keeps the first cap
    auto* most = static_cast<char*>(heap.Allocate(kMiB - 100, "most"));
    void* rest = heap.Allocate(100, "rest");
    ASSERT_TRUE(most && rest);
    EXPECT_EQ(heap.Allocate(1, "one byte more"), nullptr);
    most[kMiB - 101] = 'x';
    heap.Clear();
    EXPECT_EQ(CurrentAndPeak(heap), std::make_pair(0u, kMiB));
    void* fresh = heap.Allocate(50, "fresh");
    // Freeing a block from before the Clear neither wraps the count nor takes
    // away bytes of blocks handed out since.
    EXPECT_TRUE(heap.Free(rest));
    EXPECT_EQ(CurrentAndPeak(heap), std::make_pair(50u, kMiB));
    EXPECT_EQ(most[kMiB - 101], 'x');
    EXPECT_TRUE(heap.Free(fresh) && heap.Free(most));
}

TEST(VfsHeap, CapsInMegabytesAreComputedBeyond32Bits) {
    // 4096 MiB and up are out of a 32-bit process's reach; 4097 would wrap to 1 MiB.
    EXPECT_EQ(VfsHeapCapBytes(4095), 4095ull * kMiB);
    EXPECT_EQ(VfsHeapCapBytes(4096), 0u);
    EXPECT_EQ(VfsHeapCapBytes(4097), 0u);
}

TEST(VfsHeap, CountStaysExactAndUnderTheCapWithEightThreads) {
    VfsHeap heap;
    ASSERT_TRUE(heap.Initialize(0, 1));
    // Bytes the workers hold, counted after an Allocate succeeded and before the
    // Free: never above what the heap counted, so never above the cap.
    std::atomic<std::uint64_t> held{0}, mostHeld{0};
    std::atomic<int> refusals{0};
    std::vector<std::thread> workers;
    for (int t = 0; t < 8; ++t) {
        workers.emplace_back([&, t] {
            std::vector<std::pair<void*, std::uint32_t>> blocks;
            for (int i = 0; i < 20000; ++i) {
                // Four blocks of up to 256 KiB per thread: the cap is hit again and again.
                const std::uint32_t size = 1 + static_cast<std::uint32_t>((i * 7919 + t * 104729) % (256 * 1024));
                if (void* block = heap.Allocate(size, "worker")) {
                    const std::uint64_t now = held += size;
                    for (std::uint64_t most = mostHeld; most < now && !mostHeld.compare_exchange_weak(most, now);) {
                    }
                    blocks.emplace_back(block, size);
                } else {
                    ++refusals;
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
    EXPECT_LE(heap.Stats().peakBytes, kMiB);
    EXPECT_LE(mostHeld.load(), kMiB);
    EXPECT_GT(refusals.load(), 0);
}

}  // namespace
