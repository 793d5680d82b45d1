// The commands of modroute.exe. Each takes the arguments after its own name
// and gives the process exit code (Console.h).
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace modroute::tool {

using Arguments = std::vector<std::string>;

int RunMods(const Arguments& arguments);
int RunResolve(const Arguments& arguments);
int RunPvk(const Arguments& arguments);
int RunRes(const Arguments& arguments);
int RunMaps(const Arguments& arguments);
int RunCheck(const Arguments& arguments);
int RunConflicts(const Arguments& arguments);

// Prints the message and the command's usage line to standard error.
int BadUsage(const std::string& message, const std::string& usage);
// Prints that an input cannot be read.
int CannotRead(const std::string& what);
// The game folder argument, absolute, or empty after reporting it.
std::string GameFolderArgument(const std::string& argument);
// The "<game> [mod]" of a command: the game folder, absolute, and the mod if
// given; an exit code after reporting a wrong or unreadable argument.
std::optional<int> GameAndMod(const Arguments& positional, const char* usage, std::string& game,
                              std::optional<std::string>& mod);
// The path relative to the game folder when it lies inside it.
std::string RelativeToGame(const std::string& game, const std::string& path);

}  // namespace modroute::tool
