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

const DWORD g_resultSlot = TlsAlloc();

// Each thread has a buffer of its own, so callers on different threads never
// overwrite each other's answer, and one thread gets the same pointer every
// time, as callers of a single result buffer expect.
char* ThreadResultBuffer() {
    if (g_resultSlot == TLS_OUT_OF_INDEXES) return nullptr;
    auto* buffer = static_cast<char*>(TlsGetValue(g_resultSlot));
    if (buffer == nullptr) {
        buffer = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, kResultCapacity));
        if (buffer == nullptr || !TlsSetValue(g_resultSlot, buffer)) return nullptr;
    }
    return buffer;
}

}  // namespace

extern "C" {

const char* ResolvePath(const char* path) {
    static const char kEmpty[] = "";
    try {
        const modroute::SystemScope scope;
        char* buffer = ThreadResultBuffer();
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
