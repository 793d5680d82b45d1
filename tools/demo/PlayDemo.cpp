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

    const std::vector<std::string> script = {
        "createa texture\\hero.dds", "fopen music\\theme.ogg", "attr texture\\hero.dds",
        "find texture\\*",           "createa config.ini",     "call AVIFileInit",
    };
    const gamerun::GameRun run = game.Run(script);
    Show("What ModRoute.dll printed (debugger output)", run.debugLines);
    Show("What the game was served (operation, path, result)", run.outputLines);
    std::printf("\nThe game exited with code %lu%s.\n", run.exitCode, run.timedOut ? " after a time-out" : "");
    return run.timedOut ? 1 : 0;
}
