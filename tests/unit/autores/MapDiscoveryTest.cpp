// Which folders and packs of a mod are maps, for the rebuild and the append
// mode. The table read back from an index by name is fuzzed against the
// written one (res_roundtrip).
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "autores/MapDiscovery.h"
#include "vfs/VirtualFileSystem.h"
#include "common/TextEncoding.h"

using namespace modroute;

namespace {

constexpr std::uint64_t kMiB = 1024 * 1024;
const std::string kTownUtf8 = "\xE5\x9F\x8E", kTownGbk = "\xB3\xC7";  // 城
const std::string kZoe = "Zo\xC3\xAB";  // Zoë: code page 936 has no ë

// A mod folder as the probes see it.
struct FakeMod {
    std::set<std::string> mapFolders;            // folders holding map files
    std::map<std::string, std::uint64_t> sizes;  // packs whose size can be read
    mutable std::string asked;                   // folders whose content was probed

    MapDiscoveryProbes Probes() const {
        MapDiscoveryProbes probes;
        probes.isMapFolder = [this](const std::string& name) { return asked += name + " ", mapFolders.count(name) != 0; };
        probes.packSize = [this](const std::string& name) -> std::optional<std::uint64_t> {
            const auto found = sizes.find(name);
            return found == sizes.end() ? std::nullopt : std::optional(found->second);
        };
        probes.gbkName = [](std::string_view utf8) { return Utf8ToGbkExact(utf8).value_or(""); };
        return probes;
    }
};

std::string Names(const std::vector<MapEntry>& entries) {
    std::string names;
    for (const MapEntry& entry : entries) names += entry.utf8Name + (entry.isPack ? ".pvk " : " ");
    return names;
}

}  // namespace

TEST(MapDiscovery, FoldersAreMapsBySnNameOrByTheirMapFiles) {
    FakeMod mod;
    const std::string longest = std::string(61, 'x') + kTownUtf8;  // 63 bytes in GBK: a block holds it
    mod.mapFolders = {"Town", "mods", kTownUtf8, kZoe, "SN_extra", longest, longest + "x", "sn02 copy", "sn007"};
    const ModFolderListing listing = {{"sn07", "Town", "Notes", "MODS", "sn03", kTownUtf8, kZoe, "SN_extra", "SN01",
                                       longest, longest + "x", "sn100", "sn02 copy", "sn007", "sn256"},
                                      {}};
    const DiscoveredMaps maps = DiscoverMaps("C:\\m", listing, AppendDiscovery(), mod.Probes());
    // Only a name that is exactly the id the game writes is an sn folder.
    EXPECT_EQ(Names(maps.sn), "SN01 sn03 sn07 sn100 ");
    // Byte order of the GBK names: ASCII upper case, lower case, then GBK.
    EXPECT_EQ(Names(maps.other), "SN_extra Town sn007 sn02 copy " + longest + " " + kTownUtf8 + " ");
    // Neither sn folders nor reserved names nor names without a GBK form or too long for a block are probed.
    EXPECT_EQ(mod.asked, "Town Notes " + kTownUtf8 + " SN_extra " + longest + " sn02 copy sn007 sn256 ");
    EXPECT_EQ(maps.other.back().name + "|" + maps.other.back().path, kTownGbk + "|C:\\m\\" + kTownUtf8);
}

TEST(MapDiscovery, PackFiltersOfEachOperation) {
    FakeMod mod;
    mod.sizes = {{"Castle.pvk", 60 * kMiB}, {"Mid.pvk", 300 * kMiB}, {"sn05.pvk", 1}, {"Tavren.pvk", 1}, {"common.pvk", 1}, {"Big.pvk", 301 * kMiB}};
    const ModFolderListing listing = {{}, {"Castle.pvk", "Mid.pvk", "sn05.pvk", "Tavren.pvk", "common.pvk", "Big.pvk", "Unsized.pvk"}};
    const std::tuple<MapDiscoveryRules, std::string, std::string> cases[] = {
        {AppendDiscovery(), "Big.pvk Castle.pvk Mid.pvk Unsized.pvk ", "sn05.pvk "},
        {RebuildDiscovery(PreloadLimit(4)), "Castle.pvk Mid.pvk Unsized.pvk ", "sn05.pvk "},  // up to 300 MiB
        {RebuildDiscovery(PreloadLimit(2)), "Castle.pvk Unsized.pvk ", "sn05.pvk "},
        {RebuildDiscovery(PreloadLimit(0)), "", ""},
    };
    for (const auto& [rules, other, sn] : cases) {
        const DiscoveredMaps maps = DiscoverMaps("m", listing, rules, mod.Probes());
        EXPECT_EQ(Names(maps.other), other);
        EXPECT_EQ(Names(maps.sn), sn) << other;
    }
}
