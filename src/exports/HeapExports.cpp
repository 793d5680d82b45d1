// The exported functions over the private heap that ReadModFile's blocks come
// from: giving a block back, and the heap's statistics.
#include "common/SystemScope.h"
#include "memory/VfsHeap.h"
#include "exports/ExportedFunctions.h"

extern "C" {

void FreeFileBuffer(void* buffer) {
    try {
        const modroute::SystemScope scope;
        modroute::VfsHeap::Instance().Free(buffer);
    } catch (...) {
        // Nothing to report: the block simply stays with the caller.
    }
}

void GetVFSMemoryStats(std::uint32_t* current, std::uint32_t* peak) {
    const modroute::SystemScope scope;
    const modroute::VfsHeapStats stats = modroute::VfsHeap::Instance().Stats();
    if (current != nullptr) *current = stats.currentBytes;
    if (peak != nullptr) *peak = stats.peakBytes;
}

void ClearVFSMemory() {
    try {
        const modroute::SystemScope scope;
        modroute::VfsHeap::Instance().Clear();
    } catch (...) {
        // The lock could not be taken; the count stays as it was.
    }
}

void DumpVFSMemoryInfo() {
    try {
        const modroute::SystemScope scope;
        static_cast<void>(modroute::VfsHeap::Instance().Dump());
    } catch (...) {
        // The report is for no one; a failure to take it changes nothing.
    }
}

bool ValidateVFSMemory() {
    try {
        const modroute::SystemScope scope;
        return modroute::VfsHeap::Instance().Validate();
    } catch (...) {
        return false;
    }
}

}  // extern "C"
