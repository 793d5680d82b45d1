// The file index: a first open of a game, mod, base or missing file in
// folders of 40, 1,000 and 10,000 files, through the redirector with and
// without the walked index, against the plain open of the path it resolves
// to; the existence checks the disk was asked per first open, from the
// redirector's counter; the walk's time and memory for 13,000 and 100,000
// files. Prints a table; not a test. Goals: the ratio does not grow with the
// folder; no existence check once the index is ready; a walk of 100,000
// files under 0.5 s and 4 MB.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "BenchClock.h"
#include "common/TextEncoding.h"
#include "index/FileIndex.h"
#include "redirect/ModRouter.h"
#include "redirect/SearchPaths.h"
#include "support/TempDir.h"

using bench::Seconds;
using namespace modroute;

namespace {

constexpr int kSamples = 200;  // first opens per case and folder size

void Touch(const std::string& utf8Path) {
    HANDLE file = CreateFileW(Utf8ToWide(utf8Path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}

void MakeFolder(const std::string& utf8Path) { CreateDirectoryW(Utf8ToWide(utf8Path).c_str(), nullptr); }

// Opens and closes the file; a missing file costs its failed open.
void OpenClose(const std::string& utf8Path) {
    HANDLE file = CreateFileW(Utf8ToWide(utf8Path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}

struct Folders {
    std::string game, base, mod;
};

// Seconds of kSamples first opens of the case's files through the router
// (resolve, then open what it gives), and of the plain opens alone.
// Both sides find the files in the system's caches: they are opened once before.
void FirstOpens(ModRouter& router, const std::string& folder, char kind, double& routed, double& plain) {
    std::vector<std::string> requests, resolved;
    {
        ModRouter warmUp;
        warmUp.Configure(*router.Context());
        for (int i = 0; i < kSamples; ++i) {
            requests.push_back(folder + "\\" + kind + std::to_string(i) + ".dds");
            const std::shared_ptr<const Resolution> answer = warmUp.ResolveUtf8(requests.back());
            // What nobody supplies the game opens in its own folder, and fails.
            resolved.push_back(answer->Redirects() ? answer->path : router.Context()->gameFolder + "\\" + requests.back());
            OpenClose(resolved.back());
        }
    }
    const double start = Seconds();
    for (const std::string& request : requests) {
        const std::shared_ptr<const Resolution> answer = router.ResolveUtf8(request);
        OpenClose(answer->Redirects() ? answer->path : router.Context()->gameFolder + "\\" + request);
    }
    routed = Seconds() - start;
    const double plainStart = Seconds();
    for (const std::string& path : resolved) OpenClose(path);
    plain = Seconds() - plainStart;
}

RouteContext ContextOf(const Folders& folders, FileIndex* index) {
    RouteContext context;
    context.gameFolder = folders.game;
    context.baseFolder = folders.base;
    context.modFolder = folders.mod;
    context.searchPaths = BuildSearchPaths(folders.mod, true, folders.base, folders.game);
    context.fileIndex = index;
    return context;
}

void WalkRow(const std::string& folder, int files) {
    for (int d = 0; d < files / 100; ++d) {
        const std::string sub = folder + "\\d" + std::to_string(d);
        MakeFolder(sub);
        for (int f = 0; f < 100; ++f) Touch(sub + "\\file_" + std::to_string(f) + ".dds");
    }
    const double start = Seconds();
    const FileTree tree = FileIndex::WalkTree(folder, false, 10000000);
    const double elapsed = Seconds() - start;
    std::printf("  walk of %6d files: %7.1f ms, %6.2f MiB held (%zu entries)\n", files, elapsed * 1e3,
                static_cast<double>(tree.MemoryBytes()) / (1024 * 1024), tree.Entries());
}

}  // namespace

int main() {
    const testsupport::TempDir root("game");
    const Folders folders{root.Path(), root / "base", root / "mods\\Bench"};
    for (const std::string& folder : {folders.base, root / "mods", folders.mod}) MakeFolder(folder);
    const int sizes[] = {40, 1000, 10000};
    // Each folder holds its size in files of every kind in the game folder,
    // and of its own kind in the mod and base folders: a mod or base file's
    // lookup first misses in the full game folder.
    for (const int size : sizes) {
        const std::string name = "\\s" + std::to_string(size);
        for (const std::string& folder : {folders.game, folders.mod, folders.base}) MakeFolder(folder + name);
        for (int i = 0; i < size; ++i) {
            const std::string file = std::to_string(i) + ".dds";
            Touch(folders.game + name + "\\g" + file);
            Touch(folders.game + name + "\\x" + std::to_string(i + kSamples) + ".dds");
            Touch(folders.mod + name + "\\m" + file);
            Touch(folders.base + name + "\\b" + file);
        }
    }

    FileIndex index;
    const double walkStart = Seconds();
    index.Start({folders.game, folders.base, folders.mod});
    while (index.Generation() < 3) Sleep(1);
    const double walked = Seconds() - walkStart;

    std::printf("first open = resolve + open + close, against the plain open + close (%d files each)\n", kSamples);
    std::printf("  %-8s %-7s %12s %12s %14s\n", "folder", "case", "no index", "index", "checks/open");
    for (const int size : sizes) {
        const std::string folder = "s" + std::to_string(size);
        for (const char kind : {'g', 'm', 'b', 'x'}) {
            double ratios[2] = {};
            double checks = 0;
            for (int withIndex = 0; withIndex < 2; ++withIndex) {
                ModRouter router;
                router.Configure(ContextOf(folders, withIndex ? &index : nullptr));
                double routed = 0, plain = 0;
                const std::uint64_t before = router.DiskChecks();
                FirstOpens(router, folder, kind, routed, plain);
                ratios[withIndex] = routed / plain;
                if (withIndex) checks = static_cast<double>(router.DiskChecks() - before) / kSamples;
            }
            static const char* const kCase[] = {"game", "mod", "base", "missing"};
            const int caseIndex = kind == 'g' ? 0 : kind == 'm' ? 1 : kind == 'b' ? 2 : 3;
            std::printf("  %-8d %-7s %11.2fx %11.2fx %14.2f\n", size, kCase[caseIndex], ratios[0], ratios[1], checks);
        }
    }
    std::printf("walk and first snapshot of these trees (%zu files): %.1f ms\n",
                static_cast<std::size_t>(4 * (40 + 1000 + 10000)), walked * 1e3);
    index.Stop();

    const testsupport::TempDir walks("walks");
    for (const int files : {13000, 100000}) {
        const std::string folder = walks / std::to_string(files);
        MakeFolder(folder);
        WalkRow(folder, files);
    }
    return 0;
}
