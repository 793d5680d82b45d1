// A game start, replayed by the stand-in game: 20,000 opens and whole reads
// of game-folder, mod, base and packed files (1 KiB to 4 MiB, half of them
// opened twice), 500 attribute queries and 200 directory searches, in the
// order a start makes them. Played through ModRoute, and side by side the
// same operations on the paths ModRoute resolves them to, by a second game
// with a plain AVI library (the stand-in AVIFIL32_original.dll installed as
// AVIFIL32.dll) and the packed files as loose copies. Both sides are whole
// game processes, so the ModRoute side pays for everything the game would:
// the preload at attach, the background threads, the hooks on every call.
// In each round the two games start together and take 40 turns each through
// their plans, one playing while the other waits: a busy machine weighs on
// both alike. Which side plays a turn's part first changes from turn to turn
// (and which is side 0 from round to round), since the first to read a
// turn's files pays for whatever the system evicted from its cache since the
// files were written (this machine pages out what stayed idle for a minute,
// and writing the files takes longer). Seven rounds (BENCH_RUNS); ratios as the median and the minimum
// of each round's pair, and of each two turns' pair (each side first once).
// BENCH_VERBOSE=1 prints every run;
// BENCH_PLAIN_DLL=1 gives the plain game the DLL too, BENCH_PRESENCE=1 has
// the DLL's game play the resolved paths (see below).
// Prints a table; not a test.
// Goals: disk-served opens at most 1.05 times the plain ones once the file
// index is walked (both sides wait 1.5 s before the replay); "atonce" as the
// argument starts the replay with the game instead; packed opens faster than
// the same files read from disk.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "BenchClock.h"
#include "BenchFiles.h"
#include "GameHarness.h"
#include "vfs/PvkFormat.h"

namespace {

constexpr int kFiles = 13334;  // opened once, every other one twice: 20,001 opens
constexpr int kAttributeQueries = 500;
constexpr int kSearches = 200;
constexpr int kFolders = 20;  // under each top folder, so no folder holds thousands of files
constexpr int kFilesPerPack = 1000;
const int kRuns = std::getenv("BENCH_RUNS") ? std::atoi(std::getenv("BENCH_RUNS")) : 7;

enum Kind { kGame, kMod, kBase, kPacked };

// Mostly small files, a few large ones, as a game's resources are.
std::size_t SizeOf(int file) {
    const int bucket = (file * 7919) % 1000;
    const std::size_t kib = 1024;
    const std::size_t step = static_cast<std::size_t>((file * 104729) % 997);
    if (bucket < 800) return kib + step * 3 * kib / 997;                // 1 to 4 KiB
    if (bucket < 970) return 4 * kib + step * 28 * kib / 997;           // to 32 KiB
    if (bucket < 996) return 32 * kib + step * 224 * kib / 997;         // to 256 KiB
    if (bucket < 999) return 256 * kib + step * 768 * kib / 997;        // to 1 MiB
    return 1024 * kib + step * 3072 * kib / 997;                        // to 4 MiB
}

Kind KindOf(int file) { return static_cast<Kind>(file % 4); }

// The game folder, the mod and the base folder share their folders, as a
// mod's files replace the game's own in the same places: a lookup for a base
// file first misses in the folders of the game and the mod that hold others.
std::string GamePath(int file) {
    static const char* const kTop[] = {"texture", "music", "data", "ui"};
    static const char* const kExtension[] = {".dat", ".dds", ".ogg", ".png"};
    return std::string(kTop[file / 4 % 4]) + "\\f" + std::to_string(file / 16 % kFolders) + "\\" +
           std::to_string(file) + kExtension[KindOf(file)];
}

std::string ResolvedPath(const gamerun::Game& game, int file) {
    static const char* const kRoot[] = {"", "mods\\Bench\\", "base\\", "unpacked\\"};
    return game.PathOf(kRoot[KindOf(file)] + GamePath(file));
}

std::string Bytes(int file) {
    std::string bytes(SizeOf(file), '\0');
    std::uint32_t state = static_cast<std::uint32_t>(file) * 2654435761u;
    for (char& c : bytes) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 24);
    }
    return bytes;
}

// Writes every file; the packed ones into the mod's packs and, for the plain
// runs, as loose copies. Gives the bytes written.
std::uint64_t WriteGame(gamerun::Game& game) {
    std::uint64_t total = 0;
    std::vector<std::string> packedData;
    std::vector<modroute::PvkPackEntry> entries;
    int packs = 0;
    const auto writePack = [&] {
        std::vector<std::uint8_t> pack;
        modroute::WritePvk(entries, {}, pack);
        game.Write("mods\\Bench\\ui" + std::to_string(++packs) + ".pvk", std::string(pack.begin(), pack.end()));
        entries.clear();
        packedData.clear();
    };
    packedData.reserve(kFilesPerPack);
    for (int file = 0; file < kFiles; ++file) {
        const std::string bytes = Bytes(file);
        total += bytes.size();
        gamerun::WriteFile(ResolvedPath(game, file), bytes);
        if (KindOf(file) != kPacked) continue;
        packedData.push_back(bytes);
        const std::string path = GamePath(file);
        const std::size_t separator = path.rfind('\\');
        const std::string& data = packedData.back();
        entries.push_back({path.substr(separator + 1), path.substr(0, separator),
                           {reinterpret_cast<const std::uint8_t*>(data.data()), data.size()}});
        if (static_cast<int>(entries.size()) == kFilesPerPack) writePack();
    }
    if (!entries.empty()) writePack();
    return total;
}

// The start's operations, once through ModRoute (game paths) and once plain
// (resolved paths): every file opened, every other one again a little later,
// with attribute queries and searches in between.
void WritePlans(gamerun::Game& game, const std::string& hookedPlan, const std::string& plainPlan) {
    std::vector<int> order(kFiles);
    for (int i = 0; i < kFiles; ++i) order[i] = i;
    std::uint32_t random = 12345;
    const auto next = [&random] {
        random = random * 1103515245u + 12345u;
        return random >> 8;
    };
    for (int i = kFiles; i > 1; --i) std::swap(order[i - 1], order[next() % i]);

    std::string hooked;
    std::string plain;
    const auto add = [&](const char* kind, const char* category, const std::string& gamePath, const std::string& resolved) {
        hooked += std::string(kind) + "\t" + category + "\t" + gamePath + "\n";
        plain += std::string(kind) + "\t" + category + "\t" + resolved + "\n";
    };
    const auto open = [&](int file, bool again) {
        const char* category = KindOf(file) == kPacked ? (again ? "packed-again" : "packed") : (again ? "disk-again" : "disk");
        add("open", category, GamePath(file), ResolvedPath(game, file));
    };
    std::multimap<int, int> reopens;  // position -> file
    int position = 0;
    int attributes = 0;
    int searches = 0;
    for (const int file : order) {
        while (!reopens.empty() && reopens.begin()->first <= position) {
            open(reopens.begin()->second, true);
            reopens.erase(reopens.begin());
        }
        open(file, false);
        if (file / 4 % 2 == 0) reopens.emplace(position + 20 + static_cast<int>(next() % 400), file);
        ++position;
        if (position % 26 == 0 && attributes < kAttributeQueries) {
            // The attribute hook answers the game's own path: a game-folder file.
            const int probed = static_cast<int>(next() % (kFiles / 4)) * 4;
            add("attr", "attr", GamePath(probed), game.PathOf(GamePath(probed)));
            ++attributes;
        }
        if (position % 66 == 0 && searches < kSearches) {
            const std::string folder = "texture\\f" + std::to_string(next() % kFolders);
            if (searches++ % 2 == 0) {
                // The game folder's own files: the disk answers.
                add("find", "find", folder + "\\*.dat", game.PathOf(folder + "\\*.dat"));
            } else {
                // Packed files: the packs answer.
                add("find", "find", folder + "\\*.png", game.PathOf("unpacked\\" + folder + "\\*.png"));
            }
        }
    }
    for (const auto& [at, file] : reopens) open(file, true);
    gamerun::WriteFile(hookedPlan, hooked);
    gamerun::WriteFile(plainPlan, plain);
}


// The seconds of a category field "count,seconds,bytes".
double Seconds(const std::string& field) {
    const std::size_t comma = field.find(',');
    return comma == std::string::npos ? 0 : std::atof(field.c_str() + comma + 1);
}

struct Run {
    std::map<std::string, std::vector<double>> seconds;  // per row
    std::vector<double> turns;                           // the disk opens of every turn
    std::vector<double> peakMiB, privateMiB, handles;
};

constexpr int kTurns = 40;
bool g_atOnce = false;
// The plain side runs in the game folder with the DLL loaded as well, its
// resolved paths passed straight through: what resolving costs, apart from
// what the DLL's presence costs.
const bool g_plainWithDll = std::getenv("BENCH_PLAIN_DLL") != nullptr;
// The other way round: the DLL's side plays the resolved paths too, so the
// two differ only in the DLL's presence.
const bool g_presenceOnly = std::getenv("BENCH_PRESENCE") != nullptr;

// The result of one side's turns, entered into its run.
void Enter(const gamerun::GameRun& played, const std::string& operation, Run& run) {
    const std::string result = played.Result("turns", operation.substr(6));
    std::map<std::string, std::string> fields = gamerun::ResultFields(result);
    if (played.timedOut || result.rfind("ok\t", 0) != 0 || fields["failures"] != "0") {
        std::printf("run failed: %s\n", result.c_str());
        std::exit(1);
    }
    for (const char* row : {"disk", "disk-again", "packed", "packed-again", "attr", "find"}) {
        run.seconds[row].push_back(Seconds(fields[row]));
    }
    run.seconds["disk-all"].push_back(Seconds(fields["disk"]) + Seconds(fields["disk-again"]));
    run.seconds["packed-all"].push_back(Seconds(fields["packed"]) + Seconds(fields["packed-again"]));
    run.seconds["total"].push_back(std::atof(fields["total"].c_str()));
    std::stringstream turns(fields["turn-disk"]);
    for (std::string turn; std::getline(turns, turn, ',');) run.turns.push_back(std::atof(turn.c_str()));
    run.peakMiB.push_back(std::atof(fields["peak"].c_str()) / 1024);
    run.privateMiB.push_back(std::atof(fields["private"].c_str()) / 1024);
    run.handles.push_back(std::atof(fields["handles"].c_str()));
    if (std::getenv("BENCH_VERBOSE")) std::printf("%s\n", result.c_str());
}

// One round: both games start together and take turns through their plans,
// the side going first changing from round to round.
void PlayRound(int round, gamerun::Game& hookedGame, gamerun::Game& plainGame, const std::string& hookedPlan,
               const std::string& plainPlan, Run& hooked, Run& plain) {
    const std::string name = "gamestart" + std::to_string(GetCurrentProcessId()) + "r" + std::to_string(round);
    const int hookedSide = round % 2;
    const auto operations = [&](int side, const std::string& plan) {
        std::vector<std::string> script{"turns " + name + " " + std::to_string(side) + " " + std::to_string(kTurns) + " " + plan};
        if (!g_atOnce) script.insert(script.begin(), "sleep 1500");
        // The game has the Direct3D extensions from its start: loaded before ModRoute's
        // late font step looks for them, on both sides.
        script.insert(script.begin(), "keeplib d3dx9_43.dll");
        return script;
    };
    const std::vector<std::string> hookedScript = operations(hookedSide, g_presenceOnly ? plainPlan : hookedPlan),
                                   plainScript = operations(1 - hookedSide, plainPlan);
    gamerun::GameRun hookedRun, plainRun;
    std::thread other([&] {
        plainRun = (g_plainWithDll ? hookedGame : plainGame).Run(plainScript, 600000);
    });
    hookedRun = hookedGame.Run(hookedScript, 600000);
    other.join();
    Enter(hookedRun, hookedScript.back(), hooked);
    Enter(plainRun, plainScript.back(), plain);
}

}  // namespace

int main(int argc, char** argv) {
    g_atOnce = argc > 1 && std::string(argv[1]) == "atonce";
    gamerun::ManagerRegistry registry;
    gamerun::Game game;
    gamerun::Game plainGame("plain");  // the plain game plays the resolved paths in game's folder
    gamerun::CopyBinary(L"AVIFIL32_original.dll", plainGame.PathOf("AVIFIL32.dll"));
    game.Write("ModRoute.ini", "[Settings]\r\nSelectedMod=Bench\r\n");
    std::printf("writing %d files...\n", kFiles);
    const std::uint64_t bytes = WriteGame(game);
    const std::string hookedPlan = game.PathOf("hooked-plan.txt");
    const std::string plainPlan = game.PathOf("plain-plan.txt");
    WritePlans(game, hookedPlan, plainPlan);

    Run hooked;
    Run plain;
    for (int i = 0; i < kRuns; ++i) PlayRound(i, game, plainGame, hookedPlan, plainPlan, hooked, plain);

    std::printf("a game start replayed %s: %d files (%.0f MiB), %d opens, %d attribute queries, %d searches;"
                " medians of %d runs\n",
                g_atOnce ? "as the game starts" : "1.5 s after the start", kFiles, static_cast<double>(bytes) / (1024 * 1024), kFiles + (kFiles + 1) / 2, kAttributeQueries,
                kSearches, kRuns);
    std::printf("  %-34s %10s %10s %8s %8s\n", "", "ModRoute", "plain", "ratio", "ratio");
    std::printf("  %-34s %10s %10s %8s %8s\n", "", "(median)", "(median)", "(median", "(min)");
    std::printf("  %-34s %10s %10s %8s %8s\n", "", "", "", "of pairs)", "");
    const struct {
        const char* row;
        const char* label;
        const char* goal;
    } rows[] = {
        {"disk", "disk-served, first opens", ""},
        {"disk-again", "disk-served, second opens", ""},
        {"disk-all", "disk-served opens + reads", "goal <= 1.05"},
        {"packed", "packed, first opens", ""},
        {"packed-again", "packed, second opens", ""},
        {"packed-all", "packed opens + reads (plain: loose)", "goal < 1"},
        {"attr", "attribute queries", ""},
        {"find", "directory searches", ""},
        {"total", "replay, all operations", ""},
    };
    for (const auto& r : rows) {
        // Each run is compared with the plain run of its round, so that a
        // busy machine weighs on both sides of a ratio alike.
        std::vector<double> ratios;
        for (int i = 0; i < kRuns; ++i) ratios.push_back(hooked.seconds[r.row][i] / plain.seconds[r.row][i]);
        std::printf("  %-34s %9.3fs %9.3fs %8.3f %8.3f  %s\n", r.label, bench::Median(hooked.seconds[r.row]),
                    bench::Median(plain.seconds[r.row]), bench::Median(ratios), *std::min_element(ratios.begin(), ratios.end()),
                    r.goal);
    }
    // Two turns at a time: the same few hundred operations on both sides, a
    // moment apart, each side having been first once.
    std::vector<double> turnRatios;
    for (std::size_t i = 0; i + 1 < hooked.turns.size() && i + 1 < plain.turns.size(); i += 2) {
        turnRatios.push_back((hooked.turns[i] + hooked.turns[i + 1]) / (plain.turns[i] + plain.turns[i + 1]));
    }
    std::printf("  %-34s %31.3f %8.3f  %s\n", "disk-served, two turns at a time", bench::Median(turnRatios),
                *std::min_element(turnRatios.begin(), turnRatios.end()), "goal <= 1.05");
    std::printf("  %-34s %8.1fMiB %8.1fMiB\n", "peak private memory", bench::Median(hooked.peakMiB),
                bench::Median(plain.peakMiB));
    std::printf("  %-34s %8.1fMiB %8.1fMiB\n", "private memory at the end", bench::Median(hooked.privateMiB),
                bench::Median(plain.privateMiB));
    std::printf("  %-34s %10.0f %10.0f\n", "handles at the end", bench::Median(hooked.handles),
                bench::Median(plain.handles));
    return 0;
}
