// File work the benchmarks share: timed open + read 4 KiB + close, medians.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "BenchClock.h"

namespace bench {

// Microseconds per open + read of up to 4 KiB + close of a path in code page
// 936, over count rounds; 0 when the file cannot be opened.
inline double OpenReadClose(const std::string& gbkPath, int count) {
    static char buffer[4096];
    const double start = Seconds();
    for (int i = 0; i < count; ++i) {
        HANDLE file = CreateFileA(gbkPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            std::printf("cannot open %s\n", gbkPath.c_str());
            return 0;
        }
        DWORD read = 0;
        ReadFile(file, buffer, sizeof buffer, &read, nullptr);
        CloseHandle(file);
    }
    return (Seconds() - start) * 1e6 / count;
}

inline double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace bench
