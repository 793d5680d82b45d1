// Which folders and packs of a mod are maps, for the change check, the
// rebuild and the append mode; and the map table read back from an index.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "autores/MapChangeCheck.h"
#include "autores/MapDirectoryMatch.h"
#include "autores/MapDiscovery.h"
#include "common/TextEncoding.h"

using namespace modroute;

namespace {

constexpr std::uint64_t kMiB = 1024 * 1024;
const std::string kTownUtf8 = "\xE5\x9F\x8E";  // 城
const std::string kTownGbk = "\xB3\xC7";
const std::string kZoe = "Zo\xC3\xAB";          // Zoë: code page 936 has no ë

// A mod folder as the probes see it.
struct FakeMod {
    std::set<std::string> mapFolders;            // folders holding map files
    std::map<std::string, std::uint64_t> sizes;  // packs whose size can be read
    mutable std::vector<std::string> asked;      // folders whose content was probed

    MapDiscoveryProbes Probes() const {
        MapDiscoveryProbes probes;
        probes.isMapFolder = [this](const std::string& name) {
            asked.push_back(name);
            return mapFolders.count(name) != 0;
        };
        probes.packSize = [this](const std::string& name) -> std::optional<std::uint64_t> {
            const auto found = sizes.find(name);
            if (found == sizes.end()) return std::nullopt;
            return found->second;
        };
        probes.gbkName = [](std::string_view utf8) {
            std::optional<std::string> gbk = Utf8ToGbkExact(utf8);
            return gbk ? *gbk : std::string();
        };
        return probes;
    }
};

std::vector<std::string> Utf8Names(const std::vector<MapEntry>& entries) {
    std::vector<std::string> names;
    for (const MapEntry& entry : entries) names.push_back(entry.utf8Name);
    return names;
}

}  // namespace

TEST(MapDiscovery, FoldersAreMapsBySnNameOrByTheirMapFiles) {
    FakeMod mod;
    mod.mapFolders = {"Town", "Waves", "mods", kTownUtf8, kZoe, "SN_extra", "Abbey"};
    const ModFolderListing listing = {{"sn07", "Town", "Notes", "Waves", "MODS", "Base", "sn03", kTownUtf8, kZoe,
                                       "SN_extra", "Abbey", "SN01"},
                                      {}};
    const DiscoveredMaps maps = DiscoverMaps("C:\\game\\mods\\M", listing, ChangeCheckDiscovery(), mod.Probes());
    EXPECT_EQ(Utf8Names(maps.sn), (std::vector<std::string>{"SN01", "sn03", "sn07"}));
    // Byte order of the GBK names: ASCII upper case, lower case, then GBK.
    EXPECT_EQ(Utf8Names(maps.other), (std::vector<std::string>{"Abbey", "SN_extra", "Town", kTownUtf8}));
    // Neither sn folders nor reserved names nor names without a GBK form are probed.
    EXPECT_EQ(mod.asked, (std::vector<std::string>{"Town", "Notes", kTownUtf8, "SN_extra", "Abbey"}));

    const MapEntry& town = maps.other[3];
    EXPECT_EQ(town.name + "|" + town.mapName + "|" + town.path,
              kTownGbk + "|" + kTownGbk + "|C:\\game\\mods\\M\\" + kTownUtf8);
    EXPECT_FALSE(town.isSn || town.isPack);
    EXPECT_EQ(maps.sn[2].number, 7);
}

TEST(MapDiscovery, NamesABlockCouldNotHoldAreNoMaps) {
    FakeMod mod;
    const std::string longest = std::string(61, 'x') + kTownUtf8;      // 63 bytes in GBK
    const std::string tooLong = std::string(62, 'x') + kTownUtf8;      // 64 bytes in GBK, 65 in UTF-8
    const std::string snTooLong = "sn04" + std::string(60, 'x');       // 64 bytes
    mod.mapFolders = {longest, tooLong};
    const ModFolderListing listing = {{longest, tooLong, snTooLong, "sn05" + kZoe},
                                      {kZoe + ".pvk", ".pvk", std::string(64, 'p') + ".pvk"}};
    const DiscoveredMaps maps = DiscoverMaps("m", listing, AppendDiscovery(), mod.Probes());
    EXPECT_TRUE(maps.sn.empty());
    EXPECT_EQ(Utf8Names(maps.other), std::vector<std::string>{longest});
}

TEST(MapDiscovery, PackFiltersOfEachOperation) {
    FakeMod mod;
    mod.mapFolders = {"Town"};
    mod.sizes = {{"Castle.pvk", 60 * kMiB}, {"Town.pvk", 1}, {"sn05.pvk", 1}, {"Tavren.pvk", 1},
                 {"common.pvk", 1}, {"Waves.pvk", 1}, {"Big.pvk", 400 * kMiB}};
    const ModFolderListing listing = {{"Town"},
                                      {"Castle.pvk", "Town.pvk", "sn05.pvk", "Tavren.pvk", "common.pvk", "Waves.pvk",
                                       "Big.pvk", "Unsized.pvk", "ddfix_assets.pvk"}};
    struct Case {
        const char* what;
        MapDiscoveryRules rules;
        std::vector<std::string> other;
        std::vector<std::string> sn;
    };
    const Case cases[] = {
        {"change check", ChangeCheckDiscovery(), {"Big", "Castle", "Tavren", "Town", "Unsized"}, {"sn05"}},
        {"append", AppendDiscovery(), {"Big", "Castle", "Town", "Unsized"}, {"sn05"}},
        {"rebuild, level 2", RebuildDiscovery(2), {"Castle", "Town", "Unsized"}, {"sn05"}},
        {"rebuild, level 1", RebuildDiscovery(1), {"Town", "Unsized"}, {"sn05"}},
        {"rebuild, level 0", RebuildDiscovery(0), {"Town"}, {}},
    };
    for (const Case& c : cases) {
        const DiscoveredMaps maps = DiscoverMaps("m", listing, c.rules, mod.Probes());
        EXPECT_EQ(Utf8Names(maps.other), c.other) << c.what;
        EXPECT_EQ(Utf8Names(maps.sn), c.sn) << c.what;
        for (const MapEntry& entry : maps.Combined()) {
            EXPECT_EQ(entry.isPack, entry.utf8Name != "Town") << c.what;
            EXPECT_EQ(entry.path, "m\\" + entry.utf8Name) << c.what;
        }
    }
}

TEST(MapDiscovery, PreloadLevelsSetThePackSizeLimit) {
    const std::pair<std::int32_t, std::uint64_t> limits[] = {{1, 50 * kMiB}, {3, 150 * kMiB}, {4, 300 * kMiB},
                                                             {9, 300 * kMiB}};
    for (const auto& [level, limit] : limits) {
        FakeMod mod;
        mod.sizes = {{"AtLimit.pvk", limit}, {"Above.pvk", limit + 1}};
        const DiscoveredMaps maps =
            DiscoverMaps("m", {{}, {"AtLimit.pvk", "Above.pvk"}}, RebuildDiscovery(level), mod.Probes());
        EXPECT_EQ(Utf8Names(maps.other), std::vector<std::string>{"AtLimit"}) << level;
    }
}

TEST(MapDirectoryMatch, FreeNamedFoldersAndPacksAreFoundByTheirExactName) {
    FakeMod mod;
    mod.mapFolders = {"MyMap", "PATCH", "sn05", "SN_extra", kTownUtf8, "Town", "Later"};
    const std::vector<ResMapRecord> records = {
        {"mymap", 20, "sn20"},  {"MyMap", 21, "sn21"},    {"MyMap", 22, "sn22"},  {"PATCH", 3, "sn03"},
        {"sn05", 5, "sn05"},    {"SN_extra", 6, "sn06"},  {kTownGbk, 7, "sn07"},  {"Town", 8, "sn08"},
        {"Castle", 9, "sn09"},  {"Waves", 10, "sn10"},    {"Earlier", 11, "sn11"}, {"Later", 11, "sn11"},
        {"Notes", 12, "sn12"},  {"Keep", 100, "sn100"},
    };
    const ModFolderListing listing = {{"MyMap", "PATCH", "sn05", "SN_extra", kTownUtf8, "Town", "Notes", "Earlier",
                                       "Later"},
                                      {"Castle.pvk", "Town.pvk", "Waves.pvk", "sn09.pvk", "Keep.pvk"}};
    mod.mapFolders.insert("Earlier");
    EXPECT_EQ(MatchMapDirectories(records, listing, mod.Probes()),
              (SnDirectoryMap::Entries{{"SN21", "MyMap"},
                                       {"SN07", kTownUtf8},
                                       {"SN08", "Town"},
                                       {"SN09", "Castle"},
                                       {"SN11", "Later"},
                                       {"SN100", "Keep"}}));
}

TEST(MapChangeCheck, IndexNamesSnBlocksByExistingFoldersAndOthersByTheirName) {
    const std::vector<ResMapRecord> records = {{"Town", 3, "sn03"}, {"Second", 2, "sn02"}, {"Abbey", 4, "sn04"},
                                               {"First", 1, "sn01"}, {"Depths", 5, "sn05"}};
    const std::set<std::string> snFolders = {"sn01", "sn02"};
    const auto exists = [&snFolders](const std::string& key) { return snFolders.count(key) != 0; };
    EXPECT_EQ(IndexedMapNames(records, exists),
              (std::vector<std::string>{"sn01", "sn02", "Abbey", "Depths", "Town"}));
}
