// The new map index computed whole: rebuilt from the base's header and game
// data, or appended to the whole base; its count, its numbering up to 255,
// the maps a block cannot hold, and the map table of the maps written. The
// fuzz target res_roundtrip reads every index written back.
#include <gtest/gtest.h>

#include "autores/ResRebuild.h"
#include "support/ResBytes.h"

using namespace modroute;
using testsupport::Bytes;
using testsupport::operator+;

namespace {

using Listing = std::vector<std::pair<std::string, int>>;

MapEntry Map(const std::string& name, const std::string& mapName, int snNumber = 0, bool isPack = false) {
    return MapEntry{name, name, "mods\\M\\" + name, mapName, snNumber != 0, snNumber, isPack};  // ASCII: GBK too
}
int StoredCount(const Bytes& res) { return testsupport::StoredCount(testsupport::AsString(res)); }
Listing Listed(const Bytes& res) { return testsupport::ListedMaps(testsupport::AsString(res)); }
// The index with the count of maps stored in bytes 52 and 53.
Bytes WithCount(Bytes res, int count) {
    res[52] = static_cast<std::uint8_t>(count), res[53] = static_cast<std::uint8_t>(count >> 8);
    return res;
}

const Bytes kBase = testsupport::GameIndex({"Plains", "Snow Pass", "Citadel"});
// The base up to its first block: header and game data.
const Bytes kBaseFront(kBase.begin(), kBase.begin() + 54 + testsupport::GameData().size());

}  // namespace

TEST(ResRebuild, RebuildKeepsTheGameDataAndListsTheModsMapsOnly) {
    // A name no block can hold takes no number.
    const std::vector<MapEntry> maps = {Map("sn03", "Dark Forest", 3), Map("B", std::string(64, 'x')),
                                        Map("Castle", "Castle", 0, true), Map("Town", "Town")};
    const std::optional<ResUpdate> rebuilt = RebuildResBytes(kBase, maps);
    ASSERT_TRUE(rebuilt);
    const Bytes& res = rebuilt->bytes;
    EXPECT_EQ(Bytes(res.begin(), res.begin() + kBaseFront.size()), WithCount(kBaseFront, 713));
    EXPECT_EQ(Listed(res), (Listing{{"Castle", 1}, {"Town", 2}, {"Dark Forest", 3}}));
    // Three blocks of name + 71 bytes and nothing else: the game's blocks are gone.
    EXPECT_EQ(res.size(), kBaseFront.size() + (11 + 71) + (6 + 71) + (4 + 71));
    // The sn folders are found by the game under their own names.
    EXPECT_EQ(rebuilt->directories, (SnDirectoryMap::Entries{{"SN01", "Castle"}, {"SN02", "Town"}}));
    EXPECT_EQ(RebuildResBytes(kBase, {}).value().bytes, kBase);
    EXPECT_FALSE(RebuildResBytes(kBaseFront, maps));  // no block marks where the game data ends
    EXPECT_FALSE(AppendResBytes(WithCount(kBase, 709), maps));
}

TEST(ResRebuild, AppendKeepsTheBaseWholeAndNumbersAroundTheBasesMaps) {
    const std::vector<MapEntry> maps = {Map("sn02", "Harbour", 2), Map("sn05", "Five", 5), Map("Town", "Town")};
    const std::optional<ResUpdate> appended = AppendResBytes(kBase, maps);
    ASSERT_TRUE(appended);
    EXPECT_EQ(Bytes(appended->bytes.begin(), appended->bytes.begin() + kBase.size()), WithCount(kBase, 715));
    // The base lists sn02 already; Town takes 4, the lowest number neither the base nor sn05 holds.
    EXPECT_EQ(Listed(appended->bytes),
              (Listing{{"Plains", 1}, {"Snow Pass", 2}, {"Citadel", 3}, {"Town", 4}, {"Five", 5}}));
    // The stored count, not only the blocks the scan finds, tells which numbers the base holds.
    const std::optional<ResUpdate> after20 = AppendResBytes(WithCount(kBase, 730), maps);
    EXPECT_EQ(Listed(after20->bytes).back(), (std::pair<std::string, int>{"Town", 21}));
    // 250 maps in the base: 251 to 255 are written, the rest take no number.
    const std::vector<MapEntry> ten(10, Map("Town", "Town"));
    EXPECT_EQ(StoredCount(AppendResBytes(WithCount(kBase, 960), ten)->bytes), 965);
    Bytes full = testsupport::ResHeader(0xFFFF) + Bytes{1, 2, 3};
    EXPECT_FALSE(UpdateMapCountDirect(full, 1));
}
