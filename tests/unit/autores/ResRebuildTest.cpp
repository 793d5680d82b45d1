// The new map index computed whole: rebuilt from the base's header and game
// data, or appended to the whole base; its count, its numbering up to 255,
// the maps a block cannot hold, and the map table of the maps written.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "autores/ResRebuild.h"
#include "support/ResBytes.h"

using namespace modroute;
using testsupport::Bytes;
using testsupport::GameIndex;
using testsupport::operator+;

namespace {

MapEntry Map(const std::string& name, const std::string& mapName, int snNumber = 0, bool isPack = false) {
    // ASCII names read the same in GBK.
    return MapEntry{name, name, "mods\\M\\" + name, mapName, snNumber != 0, snNumber, isPack};
}

int StoredCount(const Bytes& res) { return testsupport::StoredCount(testsupport::AsString(res)); }
std::vector<std::pair<std::string, int>> Listed(const Bytes& res) {
    return testsupport::ListedMaps(testsupport::AsString(res));
}

const Bytes kBase = GameIndex({"Plains", "Snow Pass", "Citadel"});
// The base up to its first block: header and game data.
const Bytes kBaseFront(kBase.begin(), kBase.begin() + 54 + testsupport::GameData().size());

}  // namespace

TEST(ResRebuild, RebuildKeepsTheGameDataAndListsTheModsMapsOnly) {
    const std::vector<MapEntry> maps = {Map("sn03", "Dark Forest", 3), Map("sn07", "sn07", 7),
                                        Map("Castle", "Castle", 0, true), Map("Town", "Town")};
    const std::optional<ResUpdate> rebuilt = RebuildResBytes(kBase, maps);
    ASSERT_TRUE(rebuilt);
    const Bytes& res = rebuilt->bytes;

    Bytes front(res.begin(), res.begin() + static_cast<std::ptrdiff_t>(kBaseFront.size()));
    EXPECT_EQ(StoredCount(front), 714);
    front[52] = kBaseFront[52];
    front[53] = kBaseFront[53];
    EXPECT_EQ(front, kBaseFront);
    EXPECT_EQ(Listed(res), (std::vector<std::pair<std::string, int>>{
                               {"Dark Forest", 1}, {"sn07", 2}, {"Castle", 3}, {"Town", 4}}));
    // Four blocks of name + 71 bytes and nothing else: the game's blocks are gone.
    EXPECT_EQ(res.size(), kBaseFront.size() + (11 + 71) + (4 + 71) + (6 + 71) + (4 + 71));
    // The sn folders are found by the game under their own names.
    EXPECT_EQ(rebuilt->directories, (SnDirectoryMap::Entries{{"SN03", "Castle"}, {"SN04", "Town"}}));
}

TEST(ResRebuild, EmptyModsGetTheBaseAndBasesThatCannotCarryMapsGiveNothing) {
    for (const Bytes& base : {kBase, kBaseFront}) {
        EXPECT_EQ(RebuildResBytes(base, {}).value().bytes, base);
        EXPECT_EQ(AppendResBytes(base, {}).value().bytes, base);
    }
    const Bytes short53(kBase.begin(), kBase.begin() + 53);
    Bytes countBelow710 = kBase;
    countBelow710[52] = 0xC5;  // 709
    const std::vector<MapEntry> maps = {Map("Town", "Town")};
    EXPECT_FALSE(RebuildResBytes(short53, maps));
    EXPECT_FALSE(RebuildResBytes(kBaseFront, maps));  // no block marks where the game data ends
    EXPECT_FALSE(AppendResBytes(short53, maps));
    EXPECT_FALSE(AppendResBytes(countBelow710, maps));
    EXPECT_TRUE(AppendResBytes(kBaseFront, maps));  // the append mode needs no block of the base
}

TEST(ResRebuild, AppendKeepsTheBaseWholeAndNumbersAfterItsMaps) {
    const std::vector<MapEntry> maps = {Map("sn02", "Harbour", 2), Map("Town", "Town")};
    const std::optional<ResUpdate> appended = AppendResBytes(kBase, maps);
    ASSERT_TRUE(appended);
    const Bytes& res = appended->bytes;
    EXPECT_EQ(StoredCount(res), 715);
    Bytes front(res.begin(), res.begin() + static_cast<std::ptrdiff_t>(kBase.size()));
    front[52] = kBase[52];
    EXPECT_EQ(front, kBase);
    EXPECT_EQ(Listed(res), (std::vector<std::pair<std::string, int>>{
                               {"Plains", 1}, {"Snow Pass", 2}, {"Citadel", 3}, {"Harbour", 4}, {"Town", 5}}));
    EXPECT_EQ(appended->directories, (SnDirectoryMap::Entries{{"SN05", "Town"}}));

    // The stored count, not the blocks the scan finds, tells where the numbers go on.
    Bytes count730 = kBase;
    count730[52] = 0xDA;  // 730
    const std::optional<ResUpdate> after20 = AppendResBytes(count730, maps);
    ASSERT_TRUE(after20);
    EXPECT_EQ(StoredCount(after20->bytes), 732);
    EXPECT_EQ(Listed(after20->bytes).back(), (std::pair<std::string, int>{"Town", 22}));
}

TEST(ResRebuild, NumbersStopAt255AndTheCountFollowsTheBlocksWritten) {
    // Maps in the base, maps added, append or rebuild, first number written, blocks written.
    const std::tuple<int, int, bool, int, int> cases[] = {
        {3, 255, false, 1, 255}, {3, 300, false, 1, 255}, {250, 10, true, 251, 5}, {255, 3, true, 256, 0}};
    for (const auto& [baseMaps, added, append, firstNumber, blocks] : cases) {
        Bytes base = kBase;
        base[52] = static_cast<std::uint8_t>((710 + baseMaps) & 0xFF);
        base[53] = static_cast<std::uint8_t>((710 + baseMaps) >> 8);
        std::vector<MapEntry> maps;
        for (int i = 0; i < added; ++i) maps.push_back(Map("Map" + std::to_string(i), "Name" + std::to_string(i)));
        const std::optional<ResUpdate> update = append ? AppendResBytes(base, maps) : RebuildResBytes(base, maps);
        ASSERT_TRUE(update) << baseMaps << " " << added;
        const int listedBefore = append ? 3 : 0;  // the blocks the base file itself holds
        const auto listed = Listed(update->bytes);
        ASSERT_EQ(static_cast<int>(listed.size()), listedBefore + blocks) << baseMaps << " " << added;
        EXPECT_EQ(StoredCount(update->bytes), 710 + (append ? baseMaps : 0) + blocks) << baseMaps << " " << added;
        EXPECT_EQ(update->directories.size(), static_cast<std::size_t>(blocks));
        if (blocks > 0) {
            EXPECT_EQ(listed[listedBefore].second, firstNumber);
            EXPECT_EQ(listed.back(), (std::pair<std::string, int>{"Name" + std::to_string(blocks - 1), 255}));
        }
    }
}

TEST(ResRebuild, AMapWhoseNameNoBlockCanHoldTakesNoNumber) {
    const std::vector<MapEntry> maps = {Map("A", "Abbey"), Map("B", std::string(64, 'x')), Map("C", ""),
                                        Map("D", std::string("Na\0me", 5)), Map("E", std::string(63, 'y')),
                                        Map("F", "Fort")};
    const std::optional<ResUpdate> rebuilt = RebuildResBytes(kBase, maps);
    ASSERT_TRUE(rebuilt);
    EXPECT_EQ(Listed(rebuilt->bytes),
              (std::vector<std::pair<std::string, int>>{{"Abbey", 1}, {std::string(63, 'y'), 2}, {"Fort", 3}}));
    EXPECT_EQ(StoredCount(rebuilt->bytes), 713);
    EXPECT_EQ(rebuilt->directories, (SnDirectoryMap::Entries{{"SN01", "A"}, {"SN02", "E"}, {"SN03", "F"}}));
    EXPECT_EQ(rebuilt->maps.at(1).entry.utf8Name + std::to_string(rebuilt->maps.at(1).number), "E2");
}

TEST(ResRebuild, CountUpdateStaysInSixteenBits) {
    const std::tuple<std::uint16_t, int, bool, std::uint16_t> cases[] = {
        {0x02FF, 1, true, 0x0300}, {0xFFFF, 1, false, 0xFFFF}, {0xFFF0, 15, true, 0xFFFF}};
    for (const auto& [before, added, ok, after] : cases) {
        Bytes res = testsupport::ResHeader(before) + Bytes{1, 2, 3};
        EXPECT_EQ(UpdateMapCountDirect(res, added), ok) << before;
        EXPECT_EQ(StoredCount(res), after) << before;
    }
    Bytes short53(53, 0);
    EXPECT_FALSE(UpdateMapCountDirect(short53, 1));
}
