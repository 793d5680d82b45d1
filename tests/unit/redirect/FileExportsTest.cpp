// The exported file functions in this process, which never creates the
// private heap: what a caller sees before the attach sequence ran.
#include <gtest/gtest.h>

#include <thread>

#include "common/TextEncoding.h"
#include "exports/ExportedFunctions.h"
#include "support/TempDir.h"

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

TEST(FileExports, ResolvePathKeepsOneBufferPerThread) {
    const char* first = ResolvePath("texture\\a.dds");
    EXPECT_EQ(ResolvePath("texture\\b.dds"), first);
    const char* other = nullptr;
    std::thread([&] { other = ResolvePath("texture\\c.dds"); }).join();
    EXPECT_NE(other, first);
    EXPECT_STREQ(first, "texture\\b.dds");  // the other thread did not overwrite it
}

}  // namespace
