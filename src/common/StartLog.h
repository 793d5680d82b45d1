// ModRoute.log: an optional record of one start, for players who want to see
// what the library did. Lines are appended to memory by any thread at the
// cost of a short lock and written to the file by a writer thread of the
// log's own, which ends once it has been idle for a while and is started
// again by the next line; no game thread ever waits for the disk. The file is
// replaced at each start and bounded in size. Without Open nothing is kept.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace modroute::startlog {

// Starts a thread running the procedure; false when it cannot.
using ThreadStarter = bool (*)(LPTHREAD_START_ROUTINE procedure);

// Creates (or empties) the file at the UTF-8 path; once per process, false
// when the file cannot be created, and the log then stays closed.
bool Open(const std::string& utf8Path, ThreadStarter startThread);
bool IsOpen();

// Appends one UTF-8 line; nothing when the log is closed. Past the size
// bound a last line says so and the rest are dropped.
void Line(std::string_view utf8);

// The most bytes the file is given, its closing line included.
constexpr std::size_t kMaxLogBytes = 256 * 1024;

}  // namespace modroute::startlog
