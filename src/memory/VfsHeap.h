// The private heap that file data handed to other code comes from. It grows
// as needed; the cap is kept by the count of bytes handed out, which never
// passes it. Allocate and Free run on any thread without a lock.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

namespace modroute {

// The cap in bytes for a limit in MiB; 0 means no cap. A limit of 4 GiB or
// more can never be reached by a 32-bit process, so it is no cap either.
constexpr std::uint64_t VfsHeapCapBytes(std::uint32_t capMegabytes) {
    const std::uint64_t bytes = static_cast<std::uint64_t>(capMegabytes) << 20;
    return bytes > 0xFFFFFFFFull ? 0 : bytes;
}

struct VfsHeapStats {
    std::uint32_t currentBytes = 0;  // handed out and not yet freed (since the last Clear)
    std::uint32_t peakBytes = 0;     // highest currentBytes reached
};

// What Dump found; all 0 while there is no heap.
struct VfsHeapReport {
    bool heapReady = false;
    std::uint64_t committedBytes = 0;  // committed by the heap, large blocks included
    std::uint64_t allocatedBytes = 0;  // in blocks in use, their bookkeeping included
    std::uint64_t physicalTotalBytes = 0;
    std::uint64_t physicalAvailableBytes = 0;
};

class VfsHeap {
public:
    // The heap of the exported read functions.
    static VfsHeap& Instance();

    VfsHeap() = default;
    ~VfsHeap();
    VfsHeap(const VfsHeap&) = delete;
    VfsHeap& operator=(const VfsHeap&) = delete;

    // Gives the heap back with every block still handed out: for a library
    // leaving a process that goes on. Allocate then answers null.
    void Destroy();
    // Creates the heap once; a later call returns true and changes nothing.
    bool Initialize(std::uint32_t initialBytes, std::uint32_t capMegabytes);
    // A block of size bytes; null before Initialize, for 0 bytes, or when the
    // block would take the bytes handed out past the cap. The tag names the
    // use (the file path, say) for whoever reads the call; it is not kept.
    void* Allocate(std::uint32_t size, const char* tag);
    // True when the block, handed out by this heap and not yet freed, went back.
    bool Free(void* block);
    // Forgets the count of bytes handed out; the blocks stay valid, and freeing
    // them later no longer changes the count. The peak stays.
    void Clear();
    // The heap's committed and allocated bytes and the machine's physical memory.
    VfsHeapReport Dump();
    bool Validate() const;
    VfsHeapStats Stats() const;
    // The cap in bytes taken by Initialize; 0 for none.
    std::uint64_t CapBytes() const { return m_capBytes; }

private:
    void GiveBack(std::uint32_t epoch, std::uint32_t size);

    std::atomic<void*> m_heap{nullptr};  // the Win32 heap handle
    std::uint64_t m_capBytes = 0;  // written before m_heap is published
    // The count of bytes handed out (low half) and the number of Clear calls
    // so far (high half), changed together so a block freed after a Clear
    // knows its bytes are no longer counted.
    std::atomic<std::uint64_t> m_account{0};
    std::atomic<std::uint32_t> m_peakBytes{0};
    std::mutex m_lock;
};

}  // namespace modroute
