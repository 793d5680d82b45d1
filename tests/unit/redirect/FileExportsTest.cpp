// The exported file functions in this process, where the private heap is
// never created: what a caller sees before the library's attach sequence ran,
// and answers of the virtual file system, which are never taken from the disk.
#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <string>

#include "common/TextEncoding.h"
#include "redirect/ExportedFunctions.h"
#include "redirect/ModRouter.h"
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
    DumpVFSMemoryInfo();
    ClearVFSMemory();
}

class VirtualFiles final : public VirtualFileLookup {
public:
    bool HasFile(std::string_view path) const override { return path == "texture\\hero.dds"; }
    std::uint64_t Generation() const override { return 1; }
};

TEST(FileExports, VirtualFileIsNeverTakenFromTheDisk) {
    TempDir game("game");
    game.Write("texture\\hero.dds", "disk copy");
    wchar_t previous[MAX_PATH];
    ASSERT_NE(GetCurrentDirectoryW(MAX_PATH, previous), 0u);
    ASSERT_TRUE(SetCurrentDirectoryW(Utf8ToWide(game.Path()).c_str()));
    static const VirtualFiles virtualFiles;
    RouteContext context;
    context.gameFolder = game.Path();
    context.virtualFiles = &virtualFiles;
    ModRouter::Instance().Configure(context);

    void* buffer = &g_untouched;
    EXPECT_EQ(ReadModFile("texture\\hero.dds", &buffer), 0u);
    EXPECT_EQ(buffer, &g_untouched);
    EXPECT_EQ(GetModFileSize("texture\\hero.dds"), 0u);
    EXPECT_TRUE(ModFileExists("texture\\hero.dds"));
    EXPECT_EQ(GetModFileSize("texture\\..\\texture\\hero.dds"), 9u);  // not the virtual path: the disk's

    ModRouter::Instance().Configure(RouteContext{});
    SetCurrentDirectoryW(previous);
}

}  // namespace
