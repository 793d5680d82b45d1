// The main job, for a newcomer: copies the repository's sample game folder
// (base resources, two mods, a pack, a free-named map) into a temporary game
// folder, installs ModRoute.dll as AVIFIL32.dll beside the stand-in game,
// asks modroute.exe what the DLL will do there, then plays a script with the
// stand-in game and shows what each file open was really served.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "GameHarness.h"

namespace {

void Title(const std::string& title) { std::printf("\n== %s ==\n", title.c_str()); }

void Show(const std::string& text) {
    std::fputs(text.c_str(), stdout);
    if (!text.empty() && text.back() != '\n') std::fputc('\n', stdout);
}

gamerun::ProgramRun Modroute(const std::vector<std::string>& arguments) {
    std::string line = "modroute";
    for (const std::string& argument : arguments) line += " " + argument;
    Title(line);
    gamerun::ProgramRun run = gamerun::RunProgram(L"modroute.exe", arguments);
    Show(run.out);
    Show(run.err);
    std::printf("(exit code %lu)\n", run.exitCode);
    return run;
}

// What modroute said a path is served from: its "served from" line.
std::string Predicted(const std::string& resolveOutput, const std::string& path) {
    const std::size_t block = resolveOutput.find("\n" + path + "\n");
    if (block == std::string::npos) return "?";
    const std::string label = "  served from ";
    const std::size_t line = resolveOutput.find(label, block);
    if (line == std::string::npos) return "?";
    const std::size_t start = line + label.size();
    return resolveOutput.substr(start, resolveOutput.find('\n', start) - start);
}

std::string DataOf(const std::string& result) {
    const std::size_t start = result.find("data=");
    if (start == std::string::npos) return result;
    return result.substr(start + 5, result.find('\t', start) - start - 5);
}

}  // namespace

int main() {
    gamerun::Game game("Tavren");
    gamerun::CopyFolder(gamerun::SampleFolder() + "\\game", game.Folder());
    game.InstallOriginalAvi();
    // AutoRes on for this run, as the mod manager program would set it: the
    // mod's free-named map folder gets a number in the mod's map index.
    gamerun::ManagerRegistry registry;
    registry.SetDword(L"", L"AutoRes", 1);

    std::printf("The sample game folder (samples/game), copied to %s\n", game.Folder().c_str());
    std::printf("with the stand-in Tavren.exe, ModRoute.dll installed as AVIFIL32.dll, and the\n"
                "system AVI library renamed AVIFIL32_original.dll. Registry: AutoRes = 1.\n");
    Title("Files");
    for (const gamerun::TreeEntry& entry : gamerun::ListTree(game.Folder())) {
        if (!entry.isFolder) std::printf("  %s\n", entry.relative.c_str());
    }

    const std::vector<std::string> paths = {
        "texture\\hero.dds", "music\\theme.ogg", "config.ini",         "texture\\sky.dds",
        "ui\\title.txt",     "sn02\\sn02.wp",    "sn02\\render.json",
    };
    Modroute({"mods", game.Folder()});
    std::vector<std::string> resolveArguments = {"resolve", game.Folder()};
    resolveArguments.insert(resolveArguments.end(), paths.begin(), paths.end());
    const gamerun::ProgramRun resolved = Modroute(resolveArguments);

    // The game brings the system up fully first, so that AutoRes has written
    // the mod's map index and published the map table before the opens.
    std::vector<std::string> script = {"call InitializeTavrenModSystem"};
    for (const std::string& path : paths) script.push_back("createa " + path);
    const gamerun::GameRun run = game.Run(script);

    Title("What ModRoute.dll printed (debugger output)");
    for (const std::string& line : run.debugLines) std::printf("  %s\n", line.c_str());
    Title("What the game read with CreateFileA, beside what modroute said beforehand");
    for (const std::string& path : paths) {
        std::printf("  %-18s modroute: %-36s game read: \"%s\"\n", path.c_str(),
                    Predicted(resolved.out, path).c_str(), DataOf(run.Result("createa", path)).c_str());
    }

    Modroute({"res", "dump", game.PathOf("mods\\Blades\\Tavren.res")});
    std::printf("\nAutoRes wrote mods\\Blades\\Tavren.res at the game's start: the base index's header,\n"
                "then the mod's maps. Map 2 is the free-named folder \xE9\xBB\x91\xE6\xA3\xAE\xE6\x9E\x97, so the "
                "game's path sn02\\sn02.wp was served from there.\n");
    std::printf("\nThe game exited with code %lu%s.\n", run.exitCode, run.timedOut ? " after a time-out" : "");
    return run.timedOut || run.exitCode != 0 ? 1 : 0;
}
