// Cost of the mod file index for a mod with 50 maps (25 as folders, 25 as
// packs) and the usual resource folders and packs: a build, a currency test,
// and the accessor when the index is current. Prints a table; not a test.
#include <windows.h>

#include <cstdio>
#include <string>

#include "BenchClock.h"
#include "resources/ModFileIndex.h"
#include "support/CountingProbes.h"
#include "support/TempDir.h"

using bench::Seconds;
using namespace modroute;

namespace {

template <typename Operation>
void Row(const char* label, int count, testsupport::CountingProbes& probes, Operation operation) {
    probes.ResetCounts();
    const double start = Seconds();
    for (int i = 0; i < count; ++i) operation();
    const double elapsed = Seconds() - start;
    std::printf("  %-34s %10.1f us %8.1f existence tests %6.1f time queries\n", label, elapsed * 1e6 / count,
                static_cast<double>(probes.existenceTests.size()) / count,
                static_cast<double>(probes.timeQueries) / count);
}

}  // namespace

int main() {
    const testsupport::TempDir mod("Bench");
    mod.Write("Bench.ini", "[ModInfo]\ntitle=Bench\n");
    for (const char* folder : {"texture", "music", "sfx", "pmodel", "Level"}) mod.MakeFolder(folder);
    for (const char* pack : {"Tavren.res", "ctexture.pak", "ETexture.pak", "waves.pak", "user.cfg"}) mod.Write(pack, "x");
    for (int n = 1; n <= 50; ++n) {
        const std::string map = (n < 10 ? "sn0" : "sn") + std::to_string(n);
        if (n % 2 == 0) {
            mod.MakeFolder(map);
        } else {
            mod.Write(map + ".pak", "x");
        }
    }

    testsupport::CountingProbes probes;
    ModFileIndexTable table(probes);
    std::printf("Mod file index, mod with 50 maps (per call)\n");
    Row("BuildModFileIndex", 200, probes, [&] { table.BuildModFileIndex("Bench", mod.Path()); });
    Row("IsModFileIndexCurrent", 5000, probes, [&] { table.IsModFileIndexCurrent("Bench", mod.Path()); });
    Row("GetModFileIndex, index current", 5000, probes, [&] { table.GetModFileIndex("Bench", mod.Path()); });
    const std::optional<ModFileIndex> index = table.GetModFileIndex("Bench", mod.Path());
    std::printf("  entries in the index: %u\n", index ? static_cast<unsigned>(index->entries.size()) : 0u);
    return 0;
}
