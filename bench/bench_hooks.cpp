// Cost of the file hooks, side by side in one run: open + read 4 KiB + close
// of a mod file through the hooks (answer cached) against the same calls on
// the resolved path without hooks, and a hooked open of a game-folder file
// against the unhooked open. Blocks alternate so both see the same machine.
// Prints a table; not a test. Goal: ratio at most 1.02 for the mod file.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "BenchFiles.h"
#include "common/TextEncoding.h"
#include "hooks/HookManager.h"
#include "redirect/ModRouter.h"
#include "redirect/SearchPaths.h"
#include "support/TempDir.h"

using namespace modroute;

namespace {

void Compare(const char* label, const std::string& hookedPath, const std::string& plainPath) {
    constexpr int kBlocks = 15;
    constexpr int kRounds = 400;
    std::vector<double> hooked;
    std::vector<double> plain;
    HookManager::Install();
    bench::OpenReadClose(hookedPath, 50);  // warm the answer cache
    HookManager::Uninstall();
    for (int block = 0; block < kBlocks; ++block) {
        HookManager::Install();
        hooked.push_back(bench::OpenReadClose(hookedPath, kRounds));
        HookManager::Uninstall();
        plain.push_back(bench::OpenReadClose(plainPath, kRounds));
    }
    const double h = bench::Median(hooked);
    const double p = bench::Median(plain);
    std::printf("  %-44s hooked %8.2f us   unhooked %8.2f us   ratio %.3f\n", label, h, p, h / p);
}

}  // namespace

int main() {
    const testsupport::TempDir folder("game");
    const std::string& game = folder.Path();
    const std::string block(4096, 'x');
    folder.Write("mods\\Bench\\texture\\hero.dds", block);
    folder.Write("data\\own.dat", block);
    SetCurrentDirectoryW(Utf8ToWide(game).c_str());

    RouteContext context;
    context.gameFolder = game;
    context.baseFolder = game + "\\base";
    context.modFolder = game + "\\mods\\Bench";
    context.searchPaths = BuildSearchPaths(context.modFolder, true, context.baseFolder, context.gameFolder);
    ModRouter::Instance().Configure(context);

    std::printf("open + read 4 KiB + close, median of 15 blocks of 400\n");
    Compare("mod file: hooked name vs resolved path", "texture\\hero.dds",
            Utf8ToGbk(game + "\\mods\\Bench\\texture\\hero.dds"));
    Compare("game-folder file: hooked vs unhooked name", "data\\own.dat", "data\\own.dat");
    return 0;
}
