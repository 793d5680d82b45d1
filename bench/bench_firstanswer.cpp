// The game's first answers against the start-up's own time. A game folder with
// 300 mod folders, the selected mod holding 100 maps (AutoRes 1 rebuilds its
// index at every start), a mod pack and a base pack. This program copies
// itself into the game folder and plays the game there: it loads the DLL
// (installed as AVIFIL32.dll) and at once
//   first: reads a mod copy, a file of the mod's pack, a file of the base's
//          pack and Tavren.res, each timed from the load to its answer, and
//          checks each answer is the finished start-up's;
//   font:  creates a Times New Roman font, timed likewise, and checks it
//          was made with the replacement face;
//   full:  calls InitializeTavrenModSystem, which returns once the full
//          initialisation (mod scan, AutoRes) is done: the start-up's own time.
// Medians of five fresh processes each. Prints a table; not a test.
// Goal: no first answer later than the start-up's own time.
#include <windows.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "BenchClock.h"
#include "BenchFiles.h"
#include "GameHarness.h"
#include "support/ResBytes.h"
#include "vfs/PvkFormat.h"

namespace {

constexpr int kMods = 300;
constexpr int kMaps = 100;
constexpr int kRuns = 5;

struct Probe {
    const char* name;
    const char* path;
};
const Probe kProbes[] = {
    {"mod copy", "texture\\hero.dds"},
    {"mod pack", "ui\\modpack.dds"},
    {"base pack", "ui\\basepack.dds"},
    {"Tavren.res", "Tavren.res"},
};

std::string Pack(const std::string& directory, const std::string& name, const std::string& bytes) {
    const modroute::PvkPackEntry entry{name, directory, {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}};
    std::vector<std::uint8_t> pack;
    modroute::WritePvk({&entry, 1}, {}, pack);
    return std::string(pack.begin(), pack.end());
}

std::string ReadWhole(const char* path) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<missing>";
    std::string data(GetFileSize(file, nullptr), '\0');
    DWORD read = 0;
    ReadFile(file, data.data(), static_cast<DWORD>(data.size()), &read, nullptr);
    CloseHandle(file);
    return data.substr(0, read);
}

// The game: writes "name<TAB>milliseconds<TAB>data size" for the load, then
// per probe or for the full initialisation.
int PlayGame(const std::string& mode) {
    const double start = bench::Seconds();
    HMODULE dll = LoadLibraryA("AVIFIL32.dll");
    if (dll == nullptr) return 2;
    std::string out = "loaded\t" + std::to_string((bench::Seconds() - start) * 1000) + "\t0\n";
    if (mode == "first") {
        for (const Probe& probe : kProbes) {
            const std::string data = ReadWhole(probe.path);
            out += std::string(probe.name) + "\t" + std::to_string((bench::Seconds() - start) * 1000) + "\t" +
                   std::to_string(data.size()) + "\n";
        }
    } else if (mode == "font") {
        // The first font: created with the replacement face once the faces are checked.
        HFONT font = CreateFontA(-16, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Times New Roman");
        LOGFONTA made = {};
        GetObjectA(font, sizeof made, &made);
        DeleteObject(font);
        out += "font\t" + std::to_string((bench::Seconds() - start) * 1000) + "\t" +
               std::to_string(std::string(made.lfFaceName) == "Tahoma" ? 6 : 0) + "\n";
    } else {
        const auto initialize = reinterpret_cast<bool (*)()>(
            reinterpret_cast<void*>(GetProcAddress(dll, "InitializeTavrenModSystem")));
        if (initialize == nullptr || !initialize()) return 3;
        out += "full\t" + std::to_string((bench::Seconds() - start) * 1000) + "\t0\n";
    }
    std::FILE* result = std::fopen("result.txt", "wb");
    if (result == nullptr) return 4;
    std::fputs(out.c_str(), result);
    std::fclose(result);
    return 0;
}

void WriteGame(gamerun::Game& game) {
    game.Write("ModRoute.ini", "[Settings]\r\nSelectedMod=Bench\r\n");
    game.Write("mods\\Bench\\texture\\hero.dds", "mod hero");
    game.Write("base\\texture\\hero.dds", "base hero");
    game.Write("mods\\Bench\\m.pvk", Pack("ui", "modpack.dds", "mod packed"));
    game.Write("base\\b.pvk", Pack("ui", "basepack.dds", "base packed"));
    game.Write("base\\Tavren.res", testsupport::AsString(testsupport::GameIndex({"Plains", "Harbor", "Citadel"})));
    for (int i = 0; i < kMods; ++i) game.Write("mods\\M" + std::to_string(i) + "\\a.txt", "a");
    for (int i = 0; i < kMaps; ++i) game.Write("mods\\Bench\\Map" + std::to_string(i) + "\\m.gmb", "g");
    gamerun::CopyBinary(L"ModRoute.dll", game.PathOf("AVIFIL32.dll"));
    gamerun::CopyBinary(L"AVIFIL32_original.dll", game.PathOf("AVIFIL32_original.dll"));
    gamerun::CopyBinary(L"bench_firstanswer.exe", game.PathOf("game.exe"));
}

// One fresh game process in the mode; its result lines by name.
std::map<std::string, std::pair<double, std::size_t>> Play(const gamerun::Game& game, const std::string& mode) {
    std::wstring command = L"\"" + gamerun::Widen(game.PathOf("game.exe")) + L"\" play " + gamerun::Widen(mode);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    const std::wstring folder = gamerun::Widen(game.Folder());
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup, &process)) return {};
    WaitForSingleObject(process.hProcess, 120000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    std::string text;
    std::map<std::string, std::pair<double, std::size_t>> results;
    if (!gamerun::ReadFile(game.PathOf("result.txt"), text)) return results;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = text.find('\n', at);
        const std::string line = text.substr(at, end - at);
        const std::size_t tab = line.find('\t'), second = line.find('\t', tab + 1);
        results[line.substr(0, tab)] = {std::stod(line.substr(tab + 1, second - tab - 1)), std::stoul(line.substr(second + 1))};
        at = end == std::string::npos ? text.size() : end + 1;
    }
    DeleteFileW(gamerun::Widen(game.PathOf("result.txt")).c_str());
    return results;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "play") return PlayGame(argv[2]);
    gamerun::ManagerRegistry registry;
    registry.SetDword(L"", L"AutoRes", 1);
    registry.SetString(L"Fonts", L"TimesNewRoman", L"Tahoma");
    gamerun::Game game;
    WriteGame(game);
    std::map<std::string, std::vector<double>> times;
    std::map<std::string, std::size_t> sizes;
    for (int run = 0; run < kRuns; ++run) {
        for (const char* mode : {"first", "font", "full"}) {
            for (const auto& [name, figures] : Play(game, mode)) {
                times[name].push_back(figures.first);
                sizes[name] = figures.second;
            }
        }
    }
    // The answers the finished start-up gives, for the check.
    // Tavren.res: the mod's rebuilt index lists 103 maps, the base's three.
    // The font: 6 when it was created with the replacement face.
    const std::map<std::string, std::size_t> expected = {{"mod copy", 8}, {"mod pack", 10}, {"base pack", 11}, {"font", 6}};
    std::printf("%d mods, %d maps, AutoRes 1; ms from the DLL's load, median of %d processes\n", kMods, kMaps, kRuns);
    const double full = times["full"].empty() ? 0 : bench::Median(times["full"]);
    std::printf("%-22s %10.1f\n", "LoadLibrary returned", times["loaded"].empty() ? 0 : bench::Median(times["loaded"]));
    std::printf("%-22s %10.1f\n", "full initialisation", full);
    for (const Probe& probe : {kProbes[0], kProbes[1], kProbes[2], kProbes[3], Probe{"font", ""}}) {
        if (times[probe.name].empty()) continue;
        const auto want = expected.find(probe.name);
        const bool right = want == expected.end() ? sizes[probe.name] > 2000 : sizes[probe.name] == want->second;
        std::printf("%-22s %10.1f  %s (%zu bytes)\n", (std::string("first ") + probe.name).c_str(),
                    bench::Median(times[probe.name]), right ? "right" : "WRONG", sizes[probe.name]);
    }
    return 0;
}
