// The stand-in game's count of its own handles. Wine does not count handles
// for GetProcessHandleCount, so every value is probed, up to a long run of
// values that name nothing.
#pragma once

#include <windows.h>

#include <cstdint>

namespace standin {

struct HandleCensus {
    int total = 0;
    // Protected from closing: the values the library reserves for its virtual handles.
    int reserved = 0;
};

inline HandleCensus CountHandles() {
    HandleCensus census;
    std::uintptr_t lastSeen = 0;
    for (std::uintptr_t value = 4; value < lastSeen + 0x10000; value += 4) {
        DWORD flags = 0;
        if (!GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) continue;
        lastSeen = value;
        ++census.total;
        if ((flags & HANDLE_FLAG_PROTECT_FROM_CLOSE) != 0) ++census.reserved;
    }
    return census;
}

}  // namespace standin
