// Exported path functions: other code in the game process asks how the game's
// paths resolve. Plain C calling convention, undecorated names, paths in code
// page 936.
#include <windows.h>

#include <cstring>
#include <string>

#include "common/SystemScope.h"
#include "exports/ExportedFunctions.h"
#include "redirect/ModRouter.h"

namespace {

// Longest answer ResolvePath hands out, terminator included: the longest
// Windows path in code page 936.
constexpr std::size_t kResultCapacity = 2 * 32768;

void WINAPI FreeResultBuffer(void* buffer) {
    if (buffer != nullptr) HeapFree(GetProcessHeap(), 0, buffer);
}

// A fiber-local slot, so that each thread's buffer is freed when the thread
// ends: the library gets no thread notifications. Freed with the library,
// which frees every thread's buffer still held.
class ResultSlot {
public:
    ResultSlot() : m_slot(FlsAlloc(&FreeResultBuffer)) {}
    ~ResultSlot() {
        if (m_slot != FLS_OUT_OF_INDEXES) FlsFree(m_slot);
    }
    ResultSlot(const ResultSlot&) = delete;
    ResultSlot& operator=(const ResultSlot&) = delete;

    // Each thread has a buffer of its own, so callers on different threads
    // never overwrite each other's answer, and one thread gets the same
    // pointer every time, as callers of a single result buffer expect.
    char* Buffer() const {
        if (m_slot == FLS_OUT_OF_INDEXES) return nullptr;
        auto* buffer = static_cast<char*>(FlsGetValue(m_slot));
        if (buffer == nullptr) {
            buffer = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, kResultCapacity));
            if (buffer == nullptr) return nullptr;
            if (!FlsSetValue(m_slot, buffer)) {
                HeapFree(GetProcessHeap(), 0, buffer);
                return nullptr;
            }
        }
        return buffer;
    }

private:
    DWORD m_slot;
};

const ResultSlot g_results;

}  // namespace

extern "C" {

const char* ResolvePath(const char* path) {
    static const char kEmpty[] = "";
    try {
        const modroute::SystemScope scope;
        char* buffer = g_results.Buffer();
        if (buffer == nullptr) return kEmpty;
        const std::string result = modroute::ModRouter::Instance().ResolveFilePath(path != nullptr ? path : "");
        const std::size_t length = result.size() < kResultCapacity ? result.size() : 0;
        std::memcpy(buffer, result.data(), length);
        buffer[length] = '\0';
        return buffer;
    } catch (...) {
        return kEmpty;
    }
}

bool ShouldRedirect(const char* path) {
    try {
        const modroute::SystemScope scope;
        return modroute::ModRouter::Instance().ShouldRedirect(path != nullptr ? path : "");
    } catch (...) {
        return false;
    }
}

}  // extern "C"
