// Cost of the virtual file system, in one run:
// - open + read 4 KiB + close of a packed file through the hooks against the
//   same from disk without hooks (goal: at most 0.25);
// - preloading a 200 MiB pack against a plain sequential read of the file
//   (goal: at least 0.9 of its throughput);
// - a directory search over 10,000 packed files of 1 KiB and of 1 MiB each
//   (the cost per entry must not depend on the file size).
// Prints a table; not a test.
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
#include "vfs/PvkFormat.h"
#include "common/PathText.h"
#include "vfs/Wildcard.h"
#include "vfs/VirtualFileSystem.h"

using namespace modroute;

namespace {

constexpr std::uint64_t kMiB = 1024 * 1024;

void WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes, std::uint64_t padTo = 0) {
    HANDLE file = CreateFileW(Utf8ToWide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    if (padTo > bytes.size()) {
        LARGE_INTEGER end;
        end.QuadPart = static_cast<LONGLONG>(padTo);
        SetFilePointerEx(file, end, nullptr, FILE_BEGIN);
        SetEndOfFile(file);
    }
    CloseHandle(file);
}

void SmallFiles(const testsupport::TempDir& game) {
    const std::string data(4096, 'v');
    std::vector<std::uint8_t> pack;
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
    WritePvk(std::vector<PvkPackEntry>{{"packed.dat", "data", bytes}}, {}, pack);
    game.Write("mods\\Bench\\data.pvk", std::string(pack.begin(), pack.end()));
    game.Write("disk\\plain.dat", data);
    VirtualFileSystem::Instance().Initialize({1, game / "mods\\Bench", game / "base"});
    RouteContext context;
    context.gameFolder = game.Path();
    context.baseFolder = game / "base";
    context.modFolder = game / "mods\\Bench";
    context.searchPaths = BuildSearchPaths(context.modFolder, true, context.baseFolder, context.gameFolder);
    context.virtualFiles = &VirtualFileSystem::Instance();
    ModRouter::Instance().Configure(context);
    SetCurrentDirectoryW(Utf8ToWide(game.Path()).c_str());

    std::vector<double> packed;
    std::vector<double> disk;
    for (int block = 0; block < 11; ++block) {
        HookManager::Install();
        packed.push_back(bench::OpenReadClose("data\\packed.dat", 400));
        HookManager::Uninstall();
        disk.push_back(bench::OpenReadClose("disk\\plain.dat", 400));
    }
    std::printf("open + read 4 KiB + close: packed through the hooks %.2f us, from disk without hooks %.2f us, "
                "ratio %.3f (goal <= 0.25)\n",
                bench::Median(packed), bench::Median(disk), bench::Median(packed) / bench::Median(disk));
}

void Preload(const testsupport::TempDir& game) {
    std::vector<std::uint8_t> content(200 * kMiB, 0x5A);
    std::vector<std::uint8_t> pack;
    WritePvk(std::vector<PvkPackEntry>{{"big.bin", "big", content}}, {}, pack);
    content.clear();
    content.shrink_to_fit();
    const std::string path = game / "preload\\big.pvk";
    CreateDirectoryW(Utf8ToWide(game / "preload").c_str(), nullptr);
    WriteFileBytes(path, pack);
    pack.clear();
    pack.shrink_to_fit();

    std::vector<double> plain;
    std::vector<double> preload;
    for (int round = 0; round < 5; ++round) {
        // The plain way to have a file in memory: a buffer of its size, one read.
        double start = bench::Seconds();
        HANDLE file = CreateFileW(Utf8ToWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                  nullptr);
        std::vector<std::uint8_t> buffer(GetFileSize(file, nullptr));
        DWORD read = 0;
        ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr);
        CloseHandle(file);
        plain.push_back(bench::Seconds() - start);

        start = bench::Seconds();
        VirtualFileSystem files;
        files.Initialize({4, game / "preload", ""});
        preload.push_back(bench::Seconds() - start);
        if (!files.HasFile("big\\big.bin")) std::printf("the pack was not preloaded\n");
    }
    const double size = 200.0;
    std::printf("preload of a 200 MiB pack: %.0f MiB/s, plain sequential read %.0f MiB/s, ratio %.2f (goal >= 0.9)\n",
                size / bench::Median(preload), size / bench::Median(plain), bench::Median(plain) / bench::Median(preload));
}

void Searches(const testsupport::TempDir& game) {
    for (const std::uint32_t fileSize : {1024u, static_cast<std::uint32_t>(kMiB)}) {
        // Four packs of 2,500 files: their data is never read, so a sparse tail stands for it.
        VirtualFileSystem files;
        files.Initialize({0, "", game / "search"});
        CreateDirectoryW(Utf8ToWide(game / "search").c_str(), nullptr);
        const std::vector<std::uint8_t> one(1, 0);
        for (int p = 0; p < 4; ++p) {
            std::vector<PvkPackEntry> entries;
            for (int i = 0; i < 2500; ++i) {
                entries.push_back({"f" + std::to_string(p) + "_" + std::to_string(i) + ".bin", "all", one});
            }
            std::vector<std::uint8_t> pack;
            WritePvk(entries, {}, pack);
            // Give every entry the size of the case; the content block grows to match.
            std::vector<std::uint8_t> table(pack.begin() + 1116, pack.end() - 2500);
            std::size_t at = 0;
            for (int i = 0; i < 2500; ++i) {
                const std::uint16_t nameLength = static_cast<std::uint16_t>(table[at] | table[at + 1] << 8);
                at += 2 + nameLength;
                const std::uint16_t dirLength = static_cast<std::uint16_t>(table[at] | table[at + 1] << 8);
                at += 2 + dirLength;
                for (int b = 0; b < 4; ++b) table[at + b] = static_cast<std::uint8_t>(fileSize >> (8 * b));
                at += 28;
            }
            std::copy(table.begin(), table.end(), pack.begin() + 1116);
            const std::uint64_t contentSize = table.size() + std::uint64_t{fileSize} * 2500;
            for (int b = 0; b < 4; ++b) pack[908 + 168 + b] = static_cast<std::uint8_t>(contentSize >> (8 * b));
            pack.resize(1116 + table.size());
            const std::string path = game / ("search\\p" + std::to_string(p) + ".pvk");
            WriteFileBytes(path, pack, 1116 + contentSize);
            files.LoadPvkIndex(path);
        }
        const double start = bench::Seconds();
        int entries = 0;
        for (int round = 0; round < 5; ++round) {
            for (const VirtualDirectoryTree::Listed& listed : files.List("all")) entries += WildcardMatch(GetFileName(listed.path), "*.bin") ? 1 : 0;
        }
        std::printf("search over %d packed files of %u bytes: %.2f us per entry\n", entries / 5, fileSize,
                    (bench::Seconds() - start) * 1e6 / entries);
    }
}

}  // namespace

int main() {
    const testsupport::TempDir game("game");
    SmallFiles(game);
    Preload(game);
    Searches(game);
    return 0;
}
