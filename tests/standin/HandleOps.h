// Handle operations of the stand-in game (see HandleOps.cpp). Paths are in
// the game's ANSI code page; each returns the result fields of its line.
#pragma once

#include <string>
#include <vector>

namespace standin {

std::string HandleOperations(const std::string& ansiPath);
std::string WriteOpen(const std::string& ansiPath);
std::string KeepRealHandles(int count);
std::string VirtualBesideReal(int count, const std::string& ansiPath);
std::string Stress(int threads, int rounds, const std::vector<std::string>& ansiPaths);

}  // namespace standin
