// The sn numbering rule and the order of discovered maps.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "autores/MapNames.h"

using namespace modroute;

TEST(MapNames, SnNumberIsReadLikeStrtolAfterTheTwoLetters) {
    const std::pair<const char*, std::optional<int>> cases[] = {
        {"sn01", 1},     {"SN255", 255}, {"sN12", 12},    {"sn256", {}},  {"sn00", {}},
        {"sn7", {}},     {"sn 7", 7},    {"sn-7", {}},    {"sn7a", 7},    {"SN_extra", {}},
        {"sn0010", 10},  {"sn4294967297", {}},  // would wrap to 1 in 32 bits
    };
    for (const auto& [name, number] : cases) EXPECT_EQ(ParseSnNumber(name), number) << name;
    for (const char* name : {"SN_extra", "Snow", "sN\xB3\xC7"}) EXPECT_TRUE(HasSnPrefix(name)) << name;
    for (const char* name : {"sn7", "asn01", ""}) EXPECT_FALSE(HasSnPrefix(name)) << name;
}

namespace {

MapEntry Entry(const std::string& name, int number, const std::string& path = "") {
    MapEntry entry;
    entry.name = name;
    entry.number = number;
    entry.isSn = number != 0;
    entry.path = path.empty() ? name : path;
    return entry;
}

std::vector<std::string> Paths(const std::vector<MapEntry>& entries) {
    std::vector<std::string> paths;
    for (const MapEntry& entry : entries) paths.push_back(entry.path);
    return paths;
}

}  // namespace

TEST(MapNames, EntriesSortStablyBySnNumberOrByUnsignedNameBytes) {
    std::vector<MapEntry> sn = {Entry("sn07", 7, "first"), Entry("sn12", 12), Entry("SN007", 7, "second"),
                                Entry("sn3", 3), Entry("sn100", 100)};
    SortSnEntries(sn);
    EXPECT_EQ(Paths(sn), (std::vector<std::string>{"sn3", "first", "second", "sn12", "sn100"}));

    // GBK names start with bytes above 0x80 and so follow every ASCII name.
    const std::string town = "\xB3\xC7";
    std::vector<MapEntry> other = {Entry(town, 0), Entry("town", 0, "folder"), Entry("Town", 0), Entry("Abbey", 0),
                                   Entry("town", 0, "pack")};
    SortOtherEntries(other);
    EXPECT_EQ(Paths(other), (std::vector<std::string>{"Abbey", "Town", "folder", "pack", town}));
}
