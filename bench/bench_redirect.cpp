// Cost of path resolution: a cache hit (one thread and eight at once) and a
// first resolution for paths found in the mod folder,
// in the base folder and nowhere. Prints a table; not a test.
#include <windows.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "BenchClock.h"
#include "config/ConfigManager.h"
#include "redirect/ModRouter.h"
#include "startup/RouterSetup.h"
#include "support/TempDir.h"

using bench::Seconds;
using namespace modroute;

namespace {

const char* g_hitPath = "texture\\hero.dds";

double HitNanoseconds(ModRouter& router, int threads, int callsPerThread) {
    std::vector<std::thread> workers;
    const double start = Seconds();
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&router, callsPerThread] {
            std::size_t sink = 0;
            for (int i = 0; i < callsPerThread; ++i) sink += router.Resolve(g_hitPath)->path.size();
            if (sink == 0) std::puts("unexpected empty answer");
        });
    }
    for (std::thread& worker : workers) worker.join();
    const double elapsed = Seconds() - start;
    // All calls of all threads over the wall time: with two cores, eight
    // threads that scale come out at about half the single-thread figure.
    return elapsed * 1e9 / (static_cast<double>(callsPerThread) * threads);
}

void MissRow(ModRouter& router, const char* label, const char* folder, int count) {
    const double start = Seconds();
    for (int i = 0; i < count; ++i) {
        router.Resolve(std::string(folder) + "\\file" + std::to_string(i) + ".dds");
    }
    const double elapsed = Seconds() - start;
    std::printf("  %-28s %10.1f us\n", label, elapsed * 1e6 / count);
}

}  // namespace

int main() {
    const testsupport::TempDir folder("game");
    const std::string& game = folder.Path();
    constexpr int kMissFiles = 200;
    folder.Write("Tavren.exe", "");
    folder.Write("ModRoute.ini", "[Settings]\nSelectedMod=Bench\n");
    folder.Write("mods\\Bench\\texture\\hero.dds", "mod");
    for (int i = 0; i < kMissFiles; ++i) {
        folder.Write("mods\\Bench\\modonly\\file" + std::to_string(i) + ".dds", "m");
        folder.Write("base\\baseonly\\file" + std::to_string(i) + ".dds", "b");
    }

    ConfigManager config(game);
    config.FullInitialize();
    ModRouter router;
    router.Configure(FullRouteContext(config));

    std::printf("Resolve, cache hit (wall ns per call, all threads together; %lu cores)\n",
                static_cast<unsigned long>(std::thread::hardware_concurrency()));
    for (const char* path : {"texture\\hero.dds", "a.dds"}) {
        g_hitPath = path;
        router.Resolve(path);
        std::printf("  %-18s 1 thread   %8.1f ns\n", path, HitNanoseconds(router, 1, 2000000));
        std::printf("  %-18s 8 threads  %8.1f ns\n", path, HitNanoseconds(router, 8, 500000));
    }
    std::printf("Resolve, first resolution (per path)\n");
    MissRow(router, "found in the mod folder", "modonly", kMissFiles);
    MissRow(router, "found in the base folder", "baseonly", kMissFiles);
    MissRow(router, "found nowhere", "nowhere", kMissFiles);
    return 0;
}
