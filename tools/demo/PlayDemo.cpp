// The main job, for a newcomer: builds a small sample game folder with a base
// folder and one mod, installs ModRoute.dll as AVIFIL32.dll, plays a short
// script with the stand-in game and shows what the DLL printed and what each
// file operation was served.
#include <cstdio>
#include <string>
#include <vector>

#include "GameHarness.h"

namespace {

void Show(const char* title, const std::vector<std::string>& lines) {
    std::printf("\n== %s ==\n", title);
    for (const std::string& line : lines) std::printf("  %s\n", line.c_str());
}

}  // namespace

int main() {
    gamerun::Game game("Tavren");
    game.InstallOriginalAvi();
    game.Write("config.ini", "config kept in the game folder");
    game.Write("base\\texture\\hero.dds", "hero texture from base");
    game.Write("base\\music\\theme.ogg", "theme music from base");
    game.Write("mods\\Blades\\Blades.ini", "[ModInfo]\ntitle=Blades\nauthor=Sample\n");
    game.Write("mods\\Blades\\texture\\hero.dds", "hero texture from the mod Blades");
    game.Write("ModRoute.ini", "[Settings]\nSelectedMod=Blades\n");

    std::printf("Sample game folder: %s\n", game.Folder().c_str());
    Show("Layout", {"Tavren.exe                     the stand-in game",
                    "AVIFIL32.dll                   ModRoute.dll, installed under the AVI library's name",
                    "AVIFIL32_original.dll          the real AVI library, renamed",
                    "ModRoute.ini                   [Settings] SelectedMod=Blades",
                    "config.ini                     game folder",
                    "base\\texture\\hero.dds          base",
                    "base\\music\\theme.ogg           base",
                    "mods\\Blades\\texture\\hero.dds  the mod Blades"});

    // The game's own opens, then the same paths asked of the DLL's exported
    // resolver once the full initialisation has run.
    const std::vector<std::string> script = {
        "createa texture\\hero.dds",
        "fopen music\\theme.ogg",
        "createa config.ini",
        "call AVIFileInit",
        "call InitializeTavrenModSystem",
        "call ResolvePath texture\\hero.dds",
        "call ResolvePath music\\theme.ogg",
        "call ResolvePath config.ini",
        "call ResolvePath texture\\missing.dds",
        "call ShouldRedirect texture\\hero.dds",
    };
    const gamerun::GameRun run = game.Run(script);
    Show("What ModRoute.dll printed (debugger output)", run.debugLines);
    Show("What the game was served (operation, path, result)", run.outputLines);
    std::printf("\nResolvePath shows where each path is served from. The game's own opens are\n"
                "not intercepted yet: the file hooks are not part of this build, so they still\n"
                "see only the game folder.\n");
    std::printf("\nThe game exited with code %lu%s.\n", run.exitCode, run.timedOut ? " after a time-out" : "");
    return run.timedOut ? 1 : 0;
}
