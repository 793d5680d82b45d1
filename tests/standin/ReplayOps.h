// The stand-in game's replay of a recorded start (see ReplayOps.cpp).
#pragma once

#include <string>

namespace standin {

// Plays the plan (UTF-8 path) and gives the result fields of its line: the
// whole replay's time, failures, private memory now and at its peak (KiB),
// the handles held at the end, and per category count, seconds and bytes.
std::string Replay(const std::string& planPath);

}  // namespace standin
