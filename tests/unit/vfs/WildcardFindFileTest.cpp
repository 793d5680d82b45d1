// WildcardMatch against the system's own search on a real folder.
#include <gtest/gtest.h>

#include <windows.h>

#include <set>

#include "common/TextEncoding.h"
#include "support/TempDir.h"
#include "vfs/Wildcard.h"

using namespace modroute;
using testsupport::TempDir;

namespace {

std::set<std::string> SystemFinds(const TempDir& dir, const std::string& pattern) {
    std::set<std::string> found;
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW(Utf8ToWide(dir / pattern).c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) return found;
    do {
        const std::string name = WideToUtf8(data.cFileName);
        if (name != "." && name != "..") found.insert(name);
    } while (FindNextFileW(search, &data));
    FindClose(search);
    return found;
}

}  // namespace

TEST(WildcardFindFile, FindsTheNamesTheSystemFinds) {
    const TempDir dir;
    const std::set<std::string> names = {"a",      "ab",    "a.b.pak", "readme", "abc.txt", "a.txt",
                                         "Map.WP", "x.wpx", "a..b",    "中文.txt", "中.wp"};
    for (const std::string& name : names) dir.Write(name, "");
    // Patterns with a '?' right after a '*' are left out: Wine finds nothing
    // for them, where Windows and WildcardMatch find every long enough name.
    const char* patterns[] = {"*",      "*.*",    "a*",     "*.pak", "a?",   "?",    "??",
                              "a.*",    "map.wp", "MAP.WP", "*.wp",  "a*.*", "*b",   "ab?",
                              "??.txt", "a.",     "a.*.*",  "*.b",   "a*b",  "中*",  "?.wp"};
    for (const char* pattern : patterns) {
        std::set<std::string> matched;
        for (const std::string& name : names) {
            if (WildcardMatch(name, pattern)) matched.insert(name);
        }
        EXPECT_EQ(matched, SystemFinds(dir, pattern)) << pattern;
    }
}
