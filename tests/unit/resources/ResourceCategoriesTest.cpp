// The three resource name tables differ in case rules and in which names they
// hold; these cases pin the differences the redirect decision and AutoRes rely on.
#include <gtest/gtest.h>

#include "resources/ResourceCategories.h"

using namespace modroute;

namespace {

TEST(ResourceCategories, BaseResourceFolderLooksAtTheFirstFolderExactly) {
    for (const char* path : {"texture\\a.dds", "texture", "texture/sub/a.dds", "Waves\\a", "waves\\a", "UserData\\s"}) {
        EXPECT_TRUE(IsBaseResourceFolder(path)) << path;
    }
    for (const char* path : {"Texture\\a.dds", "WAVES\\a", "ddfix_assets\\x", "textures\\a", "a\\texture\\b",
                             "\\texture\\a", ""}) {
        EXPECT_FALSE(IsBaseResourceFolder(path)) << path;
    }
}

TEST(ResourceCategories, KnownAndReservedNamesIgnoreAsciiCaseOnly) {
    for (const char* name : {"COMMON", "etexture", "tavren", "DDFIX_ASSETS", "Level"}) {
        EXPECT_TRUE(IsKnownGameFolder(name)) << name;
    }
    for (const char* name : {"UserData", "base", "sn01", "music\\a", ""}) EXPECT_FALSE(IsKnownGameFolder(name)) << name;
    for (const char* name : {"MODS", "Base", "userdata", "PScriptLib"}) EXPECT_TRUE(IsReservedFolderName(name)) << name;
    // The game's own name is known but not reserved; code page 936 bytes are never folded.
    for (const char* name : {"Tavren", "sn07", "mod", "\xC3\xCF\xC4\xC4"}) EXPECT_FALSE(IsReservedFolderName(name));
}

}  // namespace
