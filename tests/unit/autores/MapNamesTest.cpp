// The sn numbering rule and the order of discovered maps.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "autores/MapNames.h"

using namespace modroute;

TEST(MapNames, SnNumberIsReadLikeStrtolAfterTheTwoLetters) {
    const std::pair<const char*, std::optional<int>> cases[] = {
        {"sn01", 1},       {"SN255", 255},   {"Sn12", 12},     {"sN12", 12},
        {"sn256", {}},     {"sn0", {}},      {"sn00", {}},     {"sn7", {}},  // three bytes are too few
        {"sn 7", 7},       {"sn\t9", 9},     {"sn+7", 7},      {"sn-7", {}},
        {"snow", {}},      {"sn7a", 7},      {"SN_extra", {}}, {"sn", {}},
        {"xn07", {}},      {"s n07", {}},    {"sn0010", 10},   {"sn99999999999999999999", {}},
        {"sn4294967297", {}},  // would wrap to 1 in 32 bits
        {"sn\xB3\xC7", {}},
    };
    for (const auto& [name, number] : cases) EXPECT_EQ(ParseSnNumber(name), number) << name;
}

TEST(MapNames, SnPrefixNeedsFourBytesWhateverFollows) {
    const std::pair<const char*, bool> cases[] = {
        {"SN_extra", true}, {"snow", true}, {"Snow", true}, {"sn05", true}, {"sN\xB3\xC7", true},
        {"sn7", false},     {"asn01", false}, {"s_n01", false}, {"", false},
    };
    for (const auto& [name, prefixed] : cases) EXPECT_EQ(HasSnPrefix(name), prefixed) << name;
}

namespace {

MapEntry Entry(const std::string& name, int number, const std::string& path = "") {
    MapEntry entry;
    entry.name = name;
    entry.number = number;
    entry.isSn = number != 0;
    entry.path = path.empty() ? "mods\\M\\" + name : path;
    return entry;
}

std::vector<std::string> Paths(const std::vector<MapEntry>& entries) {
    std::vector<std::string> paths;
    for (const MapEntry& entry : entries) paths.push_back(entry.path);
    return paths;
}

}  // namespace

TEST(MapNames, SnEntriesSortByNumberKeepingTheOrderOfEqualNumbers) {
    std::vector<MapEntry> entries = {Entry("sn07", 7, "first"), Entry("sn12", 12), Entry("SN007", 7, "second"),
                                     Entry("sn3", 3), Entry("sn100", 100)};
    SortSnEntries(entries);
    EXPECT_EQ(Paths(entries),
              (std::vector<std::string>{"mods\\M\\sn3", "first", "second", "mods\\M\\sn12", "mods\\M\\sn100"}));
}

TEST(MapNames, OtherEntriesSortByUnsignedBytesKeepingTheOrderOfEqualNames) {
    // GBK names start with bytes above 0x80 and so follow every ASCII name;
    // upper case comes before lower case.
    const std::string town = "\xB3\xC7";
    std::vector<MapEntry> entries = {Entry(town, 0), Entry("town", 0, "folder"), Entry("Town", 0),
                                     Entry("Abbey", 0), Entry("town", 0, "pack"), Entry("Town2", 0)};
    SortOtherEntries(entries);
    EXPECT_EQ(Paths(entries), (std::vector<std::string>{"mods\\M\\Abbey", "mods\\M\\Town", "mods\\M\\Town2", "folder",
                                                        "pack", "mods\\M\\" + town}));
}
