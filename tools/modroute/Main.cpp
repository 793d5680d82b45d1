// modroute.exe: answers, offline and from a game folder, what ModRoute.dll
// would do in it -- which mods it finds, where a game path is served from,
// what is in a pack or a map index, which maps AutoRes would write.
#include <windows.h>

#include <exception>

#include "Commands.h"
#include "Console.h"
#include "GameView.h"

namespace modroute::tool {
namespace {

constexpr char kHelp[] =
    "modroute: what ModRoute.dll would do in a game folder, worked out without running the game.\n"
    "Nothing is written into a game folder.\n"
    "\n"
    "  modroute mods <game>                  mods found, descriptions, selected mod, search path, settings\n"
    "  modroute resolve <game> <path>...     where each game path is served from, and by which rule\n"
    "  modroute maps <game> [mod] [--mode N] the maps AutoRes would write, and its map table\n"
    "  modroute pvk list <pack>              a pack's entries: name, directory, key, size, offset\n"
    "  modroute pvk extract <pack> <folder>  writes a pack's files below the folder\n"
    "  modroute pvk pack <folder> <pack>     builds a pack from the folder's files\n"
    "  modroute pvk verify <pack>            checks a pack's header, tables and data against its file\n"
    "  modroute res dump <Tavren.res>        the map blocks of a map index and its stored count\n"
    "  modroute res check <Tavren.res>       whether every block reads back and the count matches\n"
    "\n"
    "Exit codes: 0 done, nothing wrong; 1 problems found (each printed); 2 bad usage; 3 an input\n"
    "cannot be read.\n";

int Dispatch(const Arguments& arguments) {
    if (arguments.empty()) {
        ErrLine(kHelp);
        return kBadUsage;
    }
    const std::string& command = arguments[0];
    const Arguments rest(arguments.begin() + 1, arguments.end());
    if (command == "help" || command == "--help" || command == "-h" || command == "/?") {
        Out(kHelp);
        return kOk;
    }
    if (command == "mods") return RunMods(rest);
    if (command == "resolve") return RunResolve(rest);
    if (command == "maps") return RunMaps(rest);
    if (command == "pvk") return RunPvk(rest);
    if (command == "res") return RunRes(rest);
    return BadUsage("unknown command \"" + command + "\"", "modroute help");
}

}  // namespace

int BadUsage(const std::string& message, const std::string& usage) {
    ErrLine("modroute: " + message);
    ErrLine("usage: " + usage);
    return kBadUsage;
}

int CannotRead(const std::string& what) {
    ErrLine("modroute: cannot read " + what);
    return kCannotRead;
}

std::string GameFolderArgument(const std::string& argument) {
    const std::string folder = ExistingFolder(argument);
    if (folder.empty()) CannotRead("the game folder " + argument + ": it is not a folder");
    return folder;
}

}  // namespace modroute::tool

int main() {
    using namespace modroute::tool;
    SetConsoleOutputCP(CP_UTF8);
    int code = kOk;
    try {
        code = Dispatch(CommandLineArguments());
    } catch (const std::exception& error) {
        ErrLine(std::string("modroute: ") + error.what());
        code = kCannotRead;
    }
    FlushOut();
    return code;
}
