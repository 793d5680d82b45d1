// The current time as a FILETIME: what virtual files report as their times.
#pragma once

#include <windows.h>

namespace modroute {

inline FILETIME CurrentFileTime() {
    SYSTEMTIME now;
    GetSystemTime(&now);
    FILETIME time = {};
    SystemTimeToFileTime(&now, &time);
    return time;
}

}  // namespace modroute
