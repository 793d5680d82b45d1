// modroute.exe: answers, offline and from a game folder, what ModRoute.dll
// would do in it -- which mods it finds, where a game path is served from,
// what keeps a mod from working, which files hide which, what is in a pack
// or a map index, which maps AutoRes would write.
#include <windows.h>

#include <conio.h>

#include <exception>

#include "Commands.h"
#include "Console.h"
#include "GameView.h"
#include "common/PathText.h"
#include "common/TextEncoding.h"
#include "config/SettingsText.h"

namespace modroute::tool {
namespace {

struct CommandHelp {
    const char* name;
    int (*run)(const Arguments&);
    const char* usage;
    const char* what;
};

constexpr CommandHelp kCommands[] = {
    {"mods", RunMods, "modroute mods <game> [--json]",
     "the mods found, their descriptions, the selected mod, the search path, each setting and where it came from"},
    {"check", RunCheck, "modroute check <game> [mod] [--json]",
     "what keeps the mod from working, one line each with what to do: the installed AVIFIL32.dll,\n"
     "ModRoute.ini, the description files, every pack, AutoRes traps, names code page 936 cannot write,\n"
     "mod files a game-folder copy hides;\n"
     "exit 1 when anything is found"},
    {"conflicts", RunConflicts, "modroute conflicts <game> [mod] [--all] [--json]",
     "every path the mod (folder and packs) and base supply that more than one place holds, who wins\n"
     "and who is hidden, with totals; --all lists every path"},
    {"resolve", RunResolve, "modroute resolve <game> <path>... [--json]",
     "where each game path is served from, and by which rule"},
    {"maps", RunMaps, "modroute maps <game> [mod] [--mode N] [--json]", "the maps AutoRes would write, and its map table"},
    {"pvk", RunPvk,
     "modroute pvk list <pack> [--json]\n  modroute pvk extract <pack> <folder> [--force] [--json]\n"
     "  modroute pvk pack <folder> <pack> [--json]\n  modroute pvk verify <pack> [--json]",
     "a pack's entries; its files written below a folder (existing files only with --force); a pack built\n"
     "from a folder; its header, tables, data and names checked"},
    {"res", RunRes, "modroute res dump <Tavren.res> [--json]\n  modroute res check <Tavren.res> [--json]",
     "the map blocks of a map index and its stored count; whether every block reads back"},
};

constexpr char kIntroduction[] =
    "modroute " MODROUTE_VERSION ": what ModRoute.dll would do in a game folder, worked out without running\n"
    "the game. Nothing is written into a game folder.\n";
constexpr char kEnding[] =
    "\n`modroute help <command>` or `<command> --help` tells more; --version gives the version. Options take\n"
    "their value as --mode 1 or --mode=1; after -- every argument is a path.\n"
    "Exit codes: 0 done, nothing wrong; 1 problems found (each printed); 2 bad usage; 3 an input\n"
    "cannot be read.\n";

std::string Overview() {
    std::string text = std::string(kIntroduction) + "\n";
    for (const CommandHelp& command : kCommands) text += "  " + std::string(command.usage) + "\n";
    return text + kEnding;
}

const CommandHelp* FindCommand(std::string_view name) {
    for (const CommandHelp& command : kCommands) {
        if (name == command.name) return &command;
    }
    return nullptr;
}

int Help(const CommandHelp& command) {
    Out("usage: " + std::string(command.usage) + "\n\n" + command.what + "\n");
    return kOk;
}

bool AsksForHelp(const Arguments& arguments) {
    for (const std::string& argument : arguments) {
        if (argument == "--") return false;
        if (argument == "--help" || argument == "-h") return true;
    }
    return false;
}

// A double-click gives the program a console of its own, which closes with it.
bool OwnsItsConsole() {
    DWORD processes[2];
    return GetConsoleProcessList(processes, 2) == 1;
}

// Without arguments: the mods and the check of the folder the program lies in.
int RunInOwnFolder() {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::string folder = WideToUtf8(std::wstring_view(path, length));
    folder = folder.substr(0, FindLastSeparator(folder));
    OutLine("modroute " MODROUTE_VERSION " in " + folder + " (modroute help lists the commands)");
    OutLine();
    RunMods({folder});
    OutLine();
    const int code = RunCheck({folder});
    FlushOut();
    if (OwnsItsConsole()) {
        ErrLine("\nPress any key to close this window.");
        _getwch();
    }
    return code;
}

int Dispatch(const Arguments& arguments) {
    if (arguments.empty()) return RunInOwnFolder();
    const std::string& name = arguments[0];
    const Arguments rest(arguments.begin() + 1, arguments.end());
    if (name == "--version") {
        OutLine("modroute " MODROUTE_VERSION);
        return kOk;
    }
    if (name == "help" || name == "--help" || name == "-h" || name == "/?") {
        if (rest.empty()) {
            Out(Overview());
            return kOk;
        }
        if (const CommandHelp* command = FindCommand(rest[0])) return Help(*command);
        return BadUsage("no command \"" + rest[0] + "\"", "modroute help [command]");
    }
    const CommandHelp* command = FindCommand(name);
    if (command == nullptr) return BadUsage("unknown command \"" + name + "\"", "modroute help");
    if (AsksForHelp(rest)) return Help(*command);
    return command->run(rest);
}

}  // namespace

int BadUsage(const std::string& message, const std::string& usage) {
    ErrLine("modroute: " + message);
    ErrLine("usage: " + usage);
    return kBadUsage;
}

int CannotRead(const std::string& what) {
    const std::string reason = LastErrorText();
    ErrLine("modroute: cannot read " + what + (reason.empty() ? "" : ": " + reason));
    return kCannotRead;
}

std::string GameFolderArgument(const std::string& argument) {
    const std::string folder = ExistingFolder(argument);
    if (folder.empty()) CannotRead("the game folder " + argument + ": it is not a folder");
    return folder;
}

std::optional<int> GameAndMod(const Arguments& positional, const char* usage, std::string& game,
                              std::optional<std::string>& mod) {
    if (positional.empty() || positional.size() > 2) {
        return BadUsage("give a game folder and, optionally, a mod", usage);
    }
    if (positional.size() == 2) {
        if (positional[1] != "base" && !IsPlainFolderName(positional[1])) {
            return BadUsage("\"" + positional[1] + "\" is not a folder name under mods", usage);
        }
        mod = positional[1];
    }
    game = GameFolderArgument(positional[0]);
    if (game.empty()) return kCannotRead;
    return std::nullopt;
}

std::string RelativeToGame(const std::string& game, const std::string& path) {
    if (path.size() > game.size() + 1 && EqualsIgnoringAsciiCase(std::string_view(path).substr(0, game.size()), game) &&
        IsSeparator(path[game.size()])) {
        return path.substr(game.size() + 1);
    }
    return path;
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
