// Cost of the exported read and of the private heap, side by side in one run.
//  1. ReadModFile + FreeFileBuffer of a 4 MiB mod file (answer cached) against
//     CreateFileW + ReadFile of the same file from disk, into a buffer kept
//     between reads and into a fresh block of the process heap. Goal: at least
//     0.9 of the plain read's throughput.
//  2. Allocate/Free pairs of the private heap from 8 threads at once against
//     HeapAlloc/HeapFree on a heap of its own, and against the same with the
//     HeapValidate of the block that Free does: the counters must not become
//     the bottleneck.
// Blocks alternate so each side sees the same machine. Prints a table; not a test.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "BenchClock.h"
#include "common/TextEncoding.h"
#include "memory/VfsHeap.h"
#include "exports/ExportedFunctions.h"
#include "redirect/ModRouter.h"
#include "redirect/SearchPaths.h"
#include "support/TempDir.h"

using bench::Seconds;
using namespace modroute;

namespace {

constexpr DWORD kFileBytes = 4u << 20;

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Median seconds per call of each operation, over blocks that take turns.
std::vector<double> Alternate(const std::vector<std::function<void()>>& operations, int blocks, int rounds) {
    std::vector<std::vector<double>> times(operations.size());
    for (int block = 0; block < blocks; ++block) {
        for (std::size_t i = 0; i < operations.size(); ++i) {
            const double start = Seconds();
            for (int round = 0; round < rounds; ++round) operations[i]();
            times[i].push_back((Seconds() - start) / rounds);
        }
    }
    std::vector<double> medians;
    for (const std::vector<double>& series : times) medians.push_back(Median(series));
    return medians;
}

bool PlainRead(const std::wstring& path, void* buffer) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD read = 0;
    const BOOL ok = ReadFile(file, buffer, kFileBytes, &read, nullptr);
    CloseHandle(file);
    return ok && read == kFileBytes;
}

void CompareReads() {
    testsupport::TempDir game("game");
    game.Write("mods\\Bench\\sn01.pak", std::string(kFileBytes, 'p'));
    RouteContext context;
    context.gameFolder = game.Path();
    context.baseFolder = game / "base";
    context.modFolder = game / "mods\\Bench";
    context.searchPaths = BuildSearchPaths(context.modFolder, true, context.baseFolder, context.gameFolder);
    ModRouter::Instance().Configure(context);
    VfsHeap::Instance().Initialize(0, 512);

    const std::wstring diskPath = Utf8ToWide(game / "mods\\Bench\\sn01.pak");
    std::vector<char> kept(kFileBytes, 1);
    bool allRead = true;
    const std::vector<double> seconds = Alternate(
        {
            [&] {
                void* buffer = nullptr;
                allRead = ReadModFile("sn01.pak", &buffer) == kFileBytes && allRead;
                FreeFileBuffer(buffer);
            },
            [&] { allRead = PlainRead(diskPath, kept.data()) && allRead; },
            [&] {
                void* fresh = HeapAlloc(GetProcessHeap(), 0, kFileBytes);
                allRead = fresh != nullptr && PlainRead(diskPath, fresh) && allRead;
                HeapFree(GetProcessHeap(), 0, fresh);
            },
        },
        15, 20);
    const auto mbPerSecond = [](double s) { return kFileBytes / s / (1 << 20); };
    std::printf("Read of a 4 MiB mod file (median of 15 blocks of 20)%s\n", allRead ? "" : "  READ FAILED");
    std::printf("  %-44s %8.0f MiB/s\n", "ReadModFile + FreeFileBuffer", mbPerSecond(seconds[0]));
    std::printf("  %-44s %8.0f MiB/s  ratio %.2f\n", "CreateFileW + ReadFile, buffer kept", mbPerSecond(seconds[1]),
                seconds[1] / seconds[0]);
    std::printf("  %-44s %8.0f MiB/s  ratio %.2f\n", "CreateFileW + ReadFile, fresh process-heap block",
                mbPerSecond(seconds[2]), seconds[2] / seconds[0]);
    std::printf("  ratio: ReadModFile throughput over the row's; goal at least 0.90. Every ReadModFile hands out\n"
                "  new memory, whose pages are touched for the first time; the kept buffer's never are.\n");
}

// Seconds for threads threads to do pairs allocate/free pairs each, sizes
// cycling through small and large blocks.
template <typename Allocate, typename Free>
double Pairs(int threads, int pairs, Allocate allocate, Free free) {
    static constexpr std::uint32_t kSizes[] = {32, 200, 1024, 4096, 16384};
    std::atomic<int> ready{0};
    std::atomic<bool> go{false};
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&] {
            ++ready;
            while (!go.load()) {
            }
            for (int i = 0; i < pairs; ++i) {
                void* block = allocate(kSizes[i % 5]);
                static_cast<char*>(block)[0] = 1;
                free(block);
            }
        });
    }
    while (ready.load() < threads) {
    }
    const double start = Seconds();
    go = true;
    for (std::thread& worker : workers) worker.join();
    return Seconds() - start;
}

void CompareHeaps() {
    constexpr int kThreads = 8;
    constexpr int kPairs = 100000;
    VfsHeap& vfsHeap = VfsHeap::Instance();
    HANDLE plainHeap = HeapCreate(0, 0, 0);
    const auto plainAllocate = [&](std::uint32_t size) { return HeapAlloc(plainHeap, 0, size); };
    std::vector<double> vfs;
    std::vector<double> plain;
    std::vector<double> validated;
    for (int block = 0; block < 7; ++block) {
        vfs.push_back(Pairs(kThreads, kPairs, [&](std::uint32_t size) { return vfsHeap.Allocate(size, "bench"); },
                            [&](void* p) { vfsHeap.Free(p); }));
        plain.push_back(Pairs(kThreads, kPairs, plainAllocate, [&](void* p) { HeapFree(plainHeap, 0, p); }));
        validated.push_back(Pairs(kThreads, kPairs, plainAllocate, [&](void* p) {
            HeapValidate(plainHeap, 0, p);
            HeapFree(plainHeap, 0, p);
        }));
    }
    HeapDestroy(plainHeap);
    const double pairsDone = static_cast<double>(kThreads) * kPairs;
    std::printf("Allocate/free pairs, %d threads x %d (median of 7)\n", kThreads, kPairs);
    std::printf("  %-44s %8.2f M pairs/s\n", "VfsHeap Allocate + Free", pairsDone / Median(vfs) / 1e6);
    std::printf("  %-44s %8.2f M pairs/s  ratio %.2f\n", "HeapAlloc + HeapFree", pairsDone / Median(plain) / 1e6,
                Median(plain) / Median(vfs));
    std::printf("  %-44s %8.2f M pairs/s  ratio %.2f\n", "HeapAlloc + HeapValidate + HeapFree",
                pairsDone / Median(validated) / 1e6, Median(validated) / Median(vfs));
    std::printf("  ratio: VfsHeap throughput over the row's\n");
    const VfsHeapStats stats = vfsHeap.Stats();
    std::printf("  count after all pairs: %u (must be 0)\n", stats.currentBytes);
}

}  // namespace

int main() {
    CompareReads();
    CompareHeaps();
    return 0;
}
