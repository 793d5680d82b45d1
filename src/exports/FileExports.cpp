// The exported file functions: a game file read and measured as the game
// would see it, resolved through the mod, base and game folders.
#include <cstring>
#include <optional>

#include "common/SystemScope.h"
#include "memory/VfsHeap.h"
#include "exports/ExportedFunctions.h"
#include "redirect/ModRouter.h"
#include "exports/ResolvedFile.h"
#include "redirect/ResolvedOpen.h"

namespace {

// Longest path ReadModFile accepts, terminator not counted.
constexpr std::size_t kMaxReadPathBytes = 1024;
constexpr std::uint64_t kMaxReportableSize = 0xFFFFFFFFu;

// The file as the game's own open finds it, falling back like the game's
// opens do when the answer's file is no longer there.
std::optional<modroute::ResolvedFile> OpenAsTheGameSeesIt(const char* path) {
    using modroute::Answer;
    modroute::ModRouter& router = modroute::ModRouter::Instance();
    const auto open = [path](const Answer& answer) { return modroute::ResolvedFile::Open(*answer, path); };
    const auto missing = [](const std::optional<modroute::ResolvedFile>& file) { return !file; };
    const auto elsewhere = [&router, path](const Answer& failed) -> Answer {
        if (failed->from != modroute::ServedFrom::Virtual && !failed->Redirects()) return nullptr;
        Answer onDisk = router.ResolveOnDisk(path);
        if (onDisk->Redirects() && onDisk->path == failed->path) return nullptr;
        return onDisk;
    };
    return modroute::OpenResolved(router.Resolve(path), open, missing, elsewhere);
}

}  // namespace

extern "C" {

std::uint32_t ReadModFile(const char* path, void** buffer) {
    if (path == nullptr || buffer == nullptr) return 0;
    if (strnlen(path, kMaxReadPathBytes + 1) > kMaxReadPathBytes) return 0;
    try {
        const modroute::SystemScope scope;
        std::optional<modroute::ResolvedFile> file = OpenAsTheGameSeesIt(path);
        // A size the result cannot carry is no success either.
        if (!file || file->Size() == 0 || file->Size() > kMaxReportableSize) return 0;
        const auto size = static_cast<std::uint32_t>(file->Size());
        modroute::VfsHeap& heap = modroute::VfsHeap::Instance();
        void* block = heap.Allocate(size, path);
        if (block == nullptr) {
            *buffer = nullptr;
            return 0;
        }
        if (!file->ReadInto(block, size)) {
            heap.Free(block);
            return 0;
        }
        *buffer = block;
        return size;
    } catch (...) {
        return 0;
    }
}

std::uint32_t GetModFileSize(const char* path) {
    try {
        const modroute::SystemScope scope;
        const std::optional<modroute::ResolvedFile> file = OpenAsTheGameSeesIt(path != nullptr ? path : "");
        if (!file || file->Size() > kMaxReportableSize) return 0;
        return static_cast<std::uint32_t>(file->Size());
    } catch (...) {
        return 0;
    }
}

bool ModFileExists(const char* path) {
    try {
        const modroute::SystemScope scope;
        const char* request = path != nullptr ? path : "";
        const auto answer = modroute::ModRouter::Instance().Resolve(request);
        return modroute::ResolvedFile::Exists(*answer, request);
    } catch (...) {
        return false;
    }
}

const char* GetReadModFileUsage() {
    const modroute::SystemScope scope;
    // Code page 936 bytes of: 使用说明: / 1. 调用 ReadModFile 读取文件数据 /
    // 2. 成功时返回数据大小，buffer 指向分配的内存 / 3. 必须调用 FreeFileBuffer 释放内存 /
    // 4. 失败时返回 0，buffer 不会被修改
    static const char kUsage[] =
        "\xCA\xB9\xD3\xC3\xCB\xB5\xC3\xF7:\n"
        "1. \xB5\xF7\xD3\xC3 ReadModFile \xB6\xC1\xC8\xA1\xCE\xC4\xBC\xFE\xCA\xFD\xBE\xDD\n"
        "2. \xB3\xC9\xB9\xA6\xCA\xB1\xB7\xB5\xBB\xD8\xCA\xFD\xBE\xDD\xB4\xF3\xD0\xA1\xA3\xAC"
        "buffer \xD6\xB8\xCF\xF2\xB7\xD6\xC5\xE4\xB5\xC4\xC4\xDA\xB4\xE6\n"
        "3. \xB1\xD8\xD0\xEB\xB5\xF7\xD3\xC3 FreeFileBuffer \xCA\xCD\xB7\xC5\xC4\xDA\xB4\xE6\n"
        "4. \xCA\xA7\xB0\xDC\xCA\xB1\xB7\xB5\xBB\xD8 0\xA3\xAC"
        "buffer \xB2\xBB\xBB\xE1\xB1\xBB\xD0\xDE\xB8\xC4";
    return kUsage;
}

const char* GetModSystemVersion() {
    const modroute::SystemScope scope;
    return "Tavren MOD System v1.0.0 with File Redirection";
}

}  // extern "C"
