// The commands of modroute.exe. Each takes the arguments after its own name
// and gives the process exit code (Console.h).
#pragma once

#include <string>
#include <vector>

namespace modroute::tool {

using Arguments = std::vector<std::string>;

int RunMods(const Arguments& arguments);
int RunResolve(const Arguments& arguments);
int RunPvk(const Arguments& arguments);
int RunRes(const Arguments& arguments);
int RunMaps(const Arguments& arguments);

// Prints the message and the command's usage line to standard error.
int BadUsage(const std::string& message, const std::string& usage);
// Prints that an input cannot be read.
int CannotRead(const std::string& what);
// The game folder argument, absolute, or empty after reporting it.
std::string GameFolderArgument(const std::string& argument);

}  // namespace modroute::tool
