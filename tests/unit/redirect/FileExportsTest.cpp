// The exported file functions in this process, where the private heap is
// created only by the second test: what a caller sees before the attach
// sequence ran, and files of the virtual file system, never taken from the disk.
#include <gtest/gtest.h>

#include <thread>

#include "common/TextEncoding.h"
#include "memory/VfsHeap.h"
#include "exports/ExportedFunctions.h"
#include "redirect/ModRouter.h"
#include "support/TempDir.h"
#include "vfs/PvkFormat.h"
#include "vfs/VirtualFileSystem.h"

extern "C" const char* ResolvePath(const char* path);

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
}

TEST(FileExports, PackedFilesAreReadFromThePackNotFromTheDisk) {
    TempDir game("game");
    game.Write("exports_test\\hero.dds", "disk copy");
    const std::string packed = "packed hero";
    const PvkPackEntry entry = {"hero.dds", "exports_test", {reinterpret_cast<const std::uint8_t*>(packed.data()), packed.size()}};
    std::vector<std::uint8_t> pack;
    ASSERT_EQ(WritePvk(std::span(&entry, 1), {}, pack), PvkWriteError::None);
    game.Write("base\\exports.pvk", std::string(pack.begin(), pack.end()));
    ASSERT_TRUE(VirtualFileSystem::Instance().LoadPvkIndex(game / "base\\exports.pvk"));
    RouteContext context;
    context.gameFolder = game.Path();
    context.virtualFiles = &VirtualFileSystem::Instance();
    ModRouter::Instance().Configure(context);
    ASSERT_TRUE(VfsHeap::Instance().Initialize(0, 512));  // as at attach
    void* buffer = &g_untouched;
    ASSERT_EQ(ReadModFile("EXPORTS_TEST/hero.dds", &buffer), packed.size());
    EXPECT_EQ(std::string(static_cast<const char*>(buffer), packed.size()), packed);
    FreeFileBuffer(buffer);
    ModRouter::Instance().Configure(RouteContext{});
}

TEST(FileExports, ResolvePathKeepsOneBufferPerThread) {
    const char* first = ResolvePath("texture\\a.dds");
    EXPECT_EQ(ResolvePath("texture\\b.dds"), first);
    const char* other = nullptr;
    std::thread([&] { other = ResolvePath("texture\\c.dds"); }).join();
    EXPECT_NE(other, first);
    EXPECT_STREQ(first, "texture\\b.dds");  // the other thread did not overwrite it
}

}  // namespace
