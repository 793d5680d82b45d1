// The stand-in game's mixed stress run (see StressOps.cpp and StressPlan.h).
#pragma once

#include <string>

namespace standin {

// threads game threads play the plan (a file of the game folder) for at least
// rounds rounds and at least minimumMs, starting at once; then, once the
// library is fully up, a warm-up round and finalRounds more, where every
// answer must be the last one. Gives the result fields of the line.
std::string MixedStress(int threads, int rounds, int minimumMs, int finalRounds, const std::string& planPath);

}  // namespace standin
