// The exported file functions in this process, where the private heap is
// never created: what a caller sees before the library's attach sequence ran,
// and answers of the virtual file system, which are never taken from the disk.
#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <string>

#include "common/TextEncoding.h"
#include "exports/ExportedFunctions.h"
#include "memory/VfsHeap.h"
#include "redirect/ModRouter.h"
#include "vfs/PvkFormat.h"
#include "vfs/VirtualFileSystem.h"
#include "support/TempDir.h"

using namespace modroute;
using testsupport::TempDir;

namespace {

int g_untouched = 0;

TEST(FileExports, BeforeTheHeapExistsAReadLeavesANullBuffer) {
    TempDir folder("读取");
    folder.Write("数据.bin", "twelve bytes");
    const std::string request = Utf8ToGbk(folder / "数据.bin");  // absolute: read as it stands

    void* buffer = &g_untouched;
    EXPECT_EQ(ReadModFile(request.c_str(), &buffer), 0u);
    EXPECT_EQ(buffer, nullptr);
    EXPECT_EQ(GetModFileSize(request.c_str()), 12u);
    EXPECT_TRUE(ModFileExists(request.c_str()));
    EXPECT_FALSE(ValidateVFSMemory());
    std::uint32_t current = 1;
    std::uint32_t peak = 1;
    GetVFSMemoryStats(&current, &peak);
    EXPECT_EQ(current + peak, 0u);
    FreeFileBuffer(&g_untouched);  // not the heap's: refused without harm
}

TEST(FileExports, PackedFilesAreReadFromThePackNotFromTheDisk) {
    TempDir game("game");
    game.Write("texture\\hero.dds", "disk copy");
    const std::string packed = "packed hero";
    std::vector<std::uint8_t> pack;
    const std::vector<PvkPackEntry> entries = {
        {"hero.dds", "exports_test", {reinterpret_cast<const std::uint8_t*>(packed.data()), packed.size()}}};
    ASSERT_EQ(WritePvk(entries, {}, pack), PvkWriteError::None);
    game.Write("base\\exports.pvk", std::string(pack.begin(), pack.end()));
    VirtualFileSystem& files = VirtualFileSystem::Instance();
    ASSERT_TRUE(files.LoadPvkIndex(game / "base\\exports.pvk"));
    RouteContext context;
    context.gameFolder = game.Path();
    context.virtualFiles = &files;
    ModRouter::Instance().Configure(context);

    ASSERT_TRUE(VfsHeap::Instance().Initialize(0, 512));  // as at attach; after the test of no heap above
    void* buffer = &g_untouched;
    ASSERT_EQ(ReadModFile("exports_test\\hero.dds", &buffer), packed.size());
    EXPECT_EQ(std::string(static_cast<const char*>(buffer), packed.size()), packed);
    FreeFileBuffer(buffer);
    EXPECT_EQ(GetModFileSize("EXPORTS_TEST/hero.dds"), packed.size());
    EXPECT_TRUE(ModFileExists("exports_test\\hero.dds"));
    ModRouter::Instance().Configure(RouteContext{});
}

}  // namespace
