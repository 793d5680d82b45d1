// A mod's rule list from its folder and its settings file, read through a
// Chinese path: the index seeds it, [ModConfig] changes modes and adds names,
// and a file that is missing or says nothing leaves it alone.
#include <gtest/gtest.h>

#include "resources/ModFileIndex.h"
#include "resources/ResourceRules.h"
#include "support/TempDir.h"

using namespace modroute;
using testsupport::TempDir;

namespace {

constexpr auto kBase = ResourceMode::BaseCompletion;
constexpr auto kMod = ResourceMode::ModExclusive;
constexpr auto kVfs = ResourceMode::Vfs;

class ResourceRulesTest : public ::testing::Test {
protected:
    void SetUp() override {
        mod.MakeFolder("texture");
        mod.MakeFolder("sn01");
        mod.Write("waves.pak", "pack");
        index = table.GetModFileIndex("刀锋", mod.Path());
        ASSERT_TRUE(index);
        LoadResourceRulesFromIndex(rules, index);
    }

    TempDir mod{"刀锋"};
    ModFileIndexTable table;
    std::optional<ModFileIndex> index;
    std::vector<ResourceRule> rules = {{"stale", kVfs, false}};
};

TEST_F(ResourceRulesTest, IndexSeedsOneModExclusiveRulePerEntryInProbeOrder) {
    const std::vector<ResourceRule> expected = {{"texture", kMod, false}, {"waves.pak", kMod, true}, {"sn01", kMod, false}};
    EXPECT_EQ(rules, expected);
    LoadResourceRulesFromIndex(rules, std::nullopt);
    EXPECT_TRUE(rules.empty());
}

TEST_F(ResourceRulesTest, ModConfigSectionChangesModesAndAppendsNewNames) {
    mod.Write("刀锋.ini",
              "[ModInfo]\ntitle=刀锋\ntexture=0\n"
              "[ModConfig]\n"
              "waves.pak = 2 ; served from packs\n"
              "sn01=0\n"
              "music=2\n"
              "sn01=7\n"         // invalid: the earlier line stands
              "waves.pak=0\n");  // the later line wins
    std::vector<ResourceRule> parsed = {{"stale", kVfs, false}};
    ASSERT_TRUE(ParseModConfigSection(mod / "刀锋.ini", parsed));
    EXPECT_EQ(parsed.size(), 4u);
    ApplyModConfigSection(rules, mod / "刀锋.ini");
    const std::vector<ResourceRule> expected = {
        {"texture", kMod, false}, {"waves.pak", kBase, true}, {"sn01", kBase, false}, {"music", kVfs, false}};
    EXPECT_EQ(rules, expected);
}

TEST_F(ResourceRulesTest, SettingsFilesThatNameNoRuleLeaveTheIndexRules) {
    const std::vector<ResourceRule> seeded = rules;
    std::vector<ResourceRule> parsed = {{"stale", kVfs, false}};
    EXPECT_FALSE(ParseModConfigSection(mod / "missing.ini", parsed));
    EXPECT_TRUE(parsed.empty());
    ApplyModConfigSection(rules, mod / "missing.ini");
    EXPECT_EQ(rules, seeded);

    struct Case {
        const char* what;
        const char* text;
    };
    for (const Case& c : {Case{"no section", "[ModInfo]\ntitle=x\n"}, Case{"only invalid lines", "[ModConfig]\ntexture=9\n"},
                          Case{"byte-order mark before the header", "\xEF\xBB\xBF[ModConfig]\ntexture=2\n"}}) {
        mod.Write("刀锋.ini", c.text);
        EXPECT_TRUE(ParseModConfigSection(mod / "刀锋.ini", parsed)) << c.what;
        EXPECT_TRUE(parsed.empty()) << c.what;
        ApplyModConfigSection(rules, mod / "刀锋.ini");
        EXPECT_EQ(rules, seeded) << c.what;
    }
}

}  // namespace
