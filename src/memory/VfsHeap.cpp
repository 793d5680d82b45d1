#include "memory/VfsHeap.h"

#include <windows.h>

#include <cstring>
#include <vector>

namespace modroute {
namespace {

// Every block starts with the size its caller asked for and the Clear count
// at the time it was handed out, so Free gives back exactly what Allocate
// counted (HeapSize may round up) and nothing for blocks counted before a
// Clear. Eight bytes keep the heap's 8-byte alignment for the caller.
struct BlockHeader {
    std::uint32_t size;
    std::uint32_t epoch;
};
constexpr std::uint32_t kHeaderBytes = 8;
static_assert(sizeof(BlockHeader) <= kHeaderBytes);

constexpr std::uint64_t kCountMask = 0xFFFFFFFFull;

std::uint32_t CountOf(std::uint64_t account) { return static_cast<std::uint32_t>(account & kCountMask); }
std::uint32_t EpochOf(std::uint64_t account) { return static_cast<std::uint32_t>(account >> 32); }
std::uint64_t MakeAccount(std::uint32_t epoch, std::uint64_t count) {
    return (static_cast<std::uint64_t>(epoch) << 32) | count;
}

struct AddressRange {
    std::uintptr_t first;
    std::uintptr_t end;
};

// Sums the heap's regions and blocks in use. Blocks too large for a region
// live in memory of their own and add to what is committed.
void WalkHeap(HANDLE heap, VfsHeapReport& report) {
    std::vector<AddressRange> regions;
    PROCESS_HEAP_ENTRY entry = {};
    if (!HeapLock(heap)) return;
    while (HeapWalk(heap, &entry)) {
        if ((entry.wFlags & PROCESS_HEAP_REGION) != 0) {
            report.committedBytes += entry.Region.dwCommittedSize;
            regions.push_back({reinterpret_cast<std::uintptr_t>(entry.Region.lpFirstBlock),
                               reinterpret_cast<std::uintptr_t>(entry.Region.lpLastBlock)});
        } else if ((entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) != 0) {
            const std::uint64_t blockBytes = static_cast<std::uint64_t>(entry.cbData) + entry.cbOverhead;
            report.allocatedBytes += blockBytes;
            const auto address = reinterpret_cast<std::uintptr_t>(entry.lpData);
            bool inRegion = false;
            for (const AddressRange& region : regions) {
                inRegion = inRegion || (address >= region.first && address < region.end);
            }
            if (!inRegion) report.committedBytes += blockBytes;
        }
    }
    HeapUnlock(heap);
}

}  // namespace

VfsHeap& VfsHeap::Instance() {
    // Never destroyed: at process exit a thread killed inside an allocation may
    // hold the heap's lock, and the system reclaims the memory anyway.
    static VfsHeap* heap = new VfsHeap;
    return *heap;
}

VfsHeap::~VfsHeap() { Destroy(); }

void VfsHeap::Destroy() {
    HANDLE heap = m_heap.exchange(nullptr);
    if (heap != nullptr) HeapDestroy(heap);
}

bool VfsHeap::Initialize(std::uint32_t initialBytes, std::uint32_t capMegabytes) {
    const std::lock_guard<std::mutex> guard(m_lock);
    if (m_heap.load(std::memory_order_acquire) != nullptr) return true;
    // Always growable: a heap with a maximum size refuses every block above
    // about 508 KiB, so the cap is kept by the count instead.
    HANDLE heap = HeapCreate(0, initialBytes, 0);
    if (heap == nullptr) return false;
    m_capBytes = VfsHeapCapBytes(capMegabytes);
    m_heap.store(heap, std::memory_order_release);
    return true;
}

void* VfsHeap::Allocate(std::uint32_t size, const char* /*tag*/) {
    HANDLE heap = m_heap.load(std::memory_order_acquire);
    if (heap == nullptr || size == 0 || size > 0xFFFFFFFFu - kHeaderBytes) return nullptr;

    // Reserve the bytes before asking the heap, so two threads can never pass
    // the cap together.
    std::uint64_t account = m_account.load(std::memory_order_relaxed);
    std::uint64_t reserved = 0;
    do {
        const std::uint64_t total = static_cast<std::uint64_t>(CountOf(account)) + size;
        if (total > kCountMask || (m_capBytes != 0 && total > m_capBytes)) return nullptr;
        reserved = MakeAccount(EpochOf(account), total);
    } while (!m_account.compare_exchange_weak(account, reserved, std::memory_order_acq_rel,
                                              std::memory_order_relaxed));

    void* raw = HeapAlloc(heap, 0, static_cast<SIZE_T>(size) + kHeaderBytes);
    if (raw == nullptr) {
        GiveBack(EpochOf(reserved), size);
        return nullptr;
    }
    const BlockHeader header = {size, EpochOf(reserved)};
    std::memcpy(raw, &header, sizeof header);

    const std::uint32_t total = CountOf(reserved);
    std::uint32_t peak = m_peakBytes.load(std::memory_order_relaxed);
    while (peak < total && !m_peakBytes.compare_exchange_weak(peak, total, std::memory_order_relaxed)) {
    }
    return static_cast<char*>(raw) + kHeaderBytes;
}

bool VfsHeap::Free(void* block) {
    HANDLE heap = m_heap.load(std::memory_order_acquire);
    if (heap == nullptr || block == nullptr) return false;
    void* raw = reinterpret_cast<void*>(reinterpret_cast<std::uintptr_t>(block) - kHeaderBytes);
    // A pointer this heap never handed out, or one already freed, is refused
    // instead of corrupting the heap and the count.
    if (!HeapValidate(heap, 0, raw)) return false;
    BlockHeader header;
    std::memcpy(&header, raw, sizeof header);
    if (!HeapFree(heap, 0, raw)) return false;
    GiveBack(header.epoch, header.size);
    return true;
}

void VfsHeap::GiveBack(std::uint32_t epoch, std::uint32_t size) {
    std::uint64_t account = m_account.load(std::memory_order_relaxed);
    std::uint64_t next = 0;
    do {
        // Counted before a Clear: the bytes are no longer in the count. Counted
        // since: the count holds them, as only this block takes them out.
        if (EpochOf(account) != epoch) return;
        next = MakeAccount(epoch, CountOf(account) - size);
    } while (!m_account.compare_exchange_weak(account, next, std::memory_order_acq_rel, std::memory_order_relaxed));
}

void VfsHeap::Clear() {
    const std::lock_guard<std::mutex> guard(m_lock);
    if (m_heap.load(std::memory_order_acquire) == nullptr) return;
    std::uint64_t account = m_account.load(std::memory_order_relaxed);
    while (!m_account.compare_exchange_weak(account, MakeAccount(EpochOf(account) + 1, 0), std::memory_order_acq_rel,
                                            std::memory_order_relaxed)) {
    }
}

VfsHeapReport VfsHeap::Dump() {
    const std::lock_guard<std::mutex> guard(m_lock);
    VfsHeapReport report;
    HANDLE heap = m_heap.load(std::memory_order_acquire);
    if (heap == nullptr) return report;
    report.heapReady = true;
    // HeapSummary would give the first two figures, but Wine does not
    // implement it and aborts the process when it is called.
    WalkHeap(heap, report);
    MEMORYSTATUSEX memory = {};
    memory.dwLength = sizeof memory;
    if (GlobalMemoryStatusEx(&memory)) {
        report.physicalTotalBytes = memory.ullTotalPhys;
        report.physicalAvailableBytes = memory.ullAvailPhys;
    }
    return report;
}

bool VfsHeap::Validate() const {
    HANDLE heap = m_heap.load(std::memory_order_acquire);
    return heap != nullptr && HeapValidate(heap, 0, nullptr) != FALSE;
}

VfsHeapStats VfsHeap::Stats() const {
    return {CountOf(m_account.load(std::memory_order_acquire)), m_peakBytes.load(std::memory_order_acquire)};
}

}  // namespace modroute
