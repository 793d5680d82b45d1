// Folder listings against the disk itself: every answer must be the one the
// file system gives for the same path.
#include <gtest/gtest.h>

#include <windows.h>

#include "common/FileSystem.h"
#include "common/TextEncoding.h"
#include "redirect/FolderListings.h"
#include "support/TempDir.h"

using namespace modroute;
using testsupport::TempDir;

namespace {

TEST(FolderListings, AnswerAsTheDiskDoes) {
    TempDir game("game");
    game.Write("texture\\Hero.dds", "h");
    game.Write("texture\\\xE5\x88\x80.dds", "blade");           // 刀.dds
    game.Write("texture\\\xC3\x89mile.txt", "e");                // Émile.txt
    game.Write("texture\\sky\\inside.dds", "a folder named like a file");
    game.Write("root.ini", "r");
    const struct {
        std::string path;
        bool exists;
    } cases[] = {
        {"texture\\Hero.dds", true},
        {"texture\\HERO.DDS", true},
        {"TEXTURE\\hero.dds", true},
        {"texture\\\xE5\x88\x80.dds", true},
        {"texture\\\xC3\xA9MILE.TXT", true},  // éMILE.TXT
        {"texture\\sky", false},
        {"texture\\Hero", false},
        {"texture\\Hero.dds.bak", false},
        {"missing\\Hero.dds", false},
        {"root.ini", true},
        {"texture\\Hero.dds.", true},       // the system drops trailing dots
        {"texture\\..\\root.ini", true},
        {"texture\\sky\\..\\Hero.dds", true},
    };
    FolderListings listings;
    for (const auto& c : cases) {
        const std::string path = game / c.path;
        EXPECT_EQ(FileExists(path), c.exists) << "the disk, " << c.path;
        EXPECT_EQ(listings.FileExists(path), c.exists) << c.path;
    }
    // A short alias names the same file, though no listing shows it.
    game.Write("texture\\averylongname.dds", "long");
    wchar_t alias[MAX_PATH] = {};
    ASSERT_NE(GetShortPathNameW(Utf8ToWide(game / "texture\\averylongname.dds").c_str(), alias, MAX_PATH), 0u);
    ASSERT_NE(std::wstring(alias).find(L'~'), std::wstring::npos);
    EXPECT_TRUE(listings.FileExists(WideToUtf8(alias)));
}

TEST(FolderListings, EachFolderIsListedOnceAndKeptAsFirstSeen) {
    TempDir game("game");
    game.Write("texture\\a.dds", "a");
    game.Write("music\\b.ogg", "b");
    FolderListings listings;
    EXPECT_TRUE(listings.FileExists(game / "texture\\a.dds"));
    EXPECT_FALSE(listings.FileExists(game / "texture\\later.dds"));
    EXPECT_FALSE(listings.FileExists(game / "TEXTURE\\other.dds"));
    EXPECT_EQ(listings.ListingsTaken(), 1u);
    EXPECT_TRUE(listings.FileExists(game / "music\\b.ogg"));
    EXPECT_FALSE(listings.FileExists(game / "nothing\\c.ogg"));
    EXPECT_EQ(listings.ListingsTaken(), 3u);

    game.Write("texture\\later.dds", "written after the listing");
    EXPECT_FALSE(listings.FileExists(game / "texture\\later.dds"));
    EXPECT_TRUE(FolderListings().FileExists(game / "texture\\later.dds"));
}

}  // namespace
