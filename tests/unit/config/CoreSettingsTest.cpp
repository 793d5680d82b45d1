// Core settings as the early initialisation reads them from ModRoute.ini and
// the manager program's registry values, each test with a private HKCU.
#include <gtest/gtest.h>

#include <memory>

#include "common/TextEncoding.h"
#include "config/ConfigManager.h"
#include "config/CoreSettingsReader.h"
#include "support/RegistrySandbox.h"
#include "support/TempDir.h"

using namespace modroute;
using testsupport::TempDir;

namespace {

class CoreSettingsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(registry.Active()); }
    const CoreSettings& Early() {
        config = std::make_unique<ConfigManager>(game.Path());
        EXPECT_TRUE(config->EarlyInitialize());
        return config->Settings();
    }
    testsupport::RegistrySandbox registry;
    TempDir game{"游戏"};
    std::unique_ptr<ConfigManager> config;
};

TEST_F(CoreSettingsTest, DefaultsAndTheSelectedModReadOnce) {
    const CoreSettings& s = Early();
    EXPECT_EQ(s.SelectedMod + s.TimesNewRoman + s.MingLiU, "");
    const std::vector<long long> numbers = {s.ToggleCommand, s.OpenPlay, s.TimesNewRomanScale, s.MingLiUScale,
                                            s.AutoRes,       s.AutoResEnabled, s.EnablePreloadPVK, s.MaxMemoryMB};
    EXPECT_EQ(numbers, (std::vector<long long>{1, 1, 100, 100, 0, 0, 3, 512}));
    EXPECT_FALSE(registry.KeyExists(L""));  // nothing written
    game.Write("ModRoute.ini", "[Settings]\nSelectedMod=刀锋\n");
    EXPECT_EQ(Early().SelectedMod, "刀锋");
    game.Write("ModRoute.ini", "[Settings]\nSelectedMod=..\\..\\Windows\n");
    EXPECT_TRUE(config->EarlyInitialize());  // runs once: the file is not read again
    EXPECT_EQ(config->GetSelectedMod(), "刀锋");
    EXPECT_EQ(Early().SelectedMod, "");
    // 雪山 saved in code page 936 is also well-formed UTF-8: the reading that names a mod folder wins.
    game.Write("ModRoute.ini", "[Settings]\nSelectedMod=\xD1\xA9\xC9\xBD\n");
    EXPECT_EQ(Early().SelectedMod, "\xD1\xA9\xC9\xBD");
    game.MakeFolder("mods\\雪山");
    EXPECT_EQ(Early().SelectedMod, "雪山");
}

TEST_F(CoreSettingsTest, NumbersTakeFourBytesOrTheTextTheySpellAndScalesAreClamped) {
    const auto read = [] { return ReadRegistryNumber("Memory", L"MaxMemoryMB", 512); };
    // Text is the number it spells.
    const std::pair<const wchar_t*, std::uint32_t> spelled[] = {{L"7", 7}, {L" -1 ", 0xFFFFFFFFu}, {L"7x", 512}, {L"4294967296", 512}};
    for (const auto& [text, number] : spelled) {
        registry.SetString(L"Memory", L"MaxMemoryMB", text);
        EXPECT_EQ(read(), number) << text;
    }
    const ULONGLONG eight = 64;
    registry.SetRaw(L"Memory", L"MaxMemoryMB", REG_QWORD, &eight, sizeof eight);
    EXPECT_EQ(read(), 512u);
    registry.SetDword(L"", L"EnablePreloadPVK", 0xFFFFFFFFu);
    registry.SetDword(L"", L"AutoRes", 4);  // out of range: off
    registry.SetDword(L"Fonts", L"TimesNewRomanScale", 10);
    registry.SetDword(L"Fonts", L"MingLiUScale", 500);
    registry.SetString(L"Fonts", L"MingLiU", L"%FONT%", REG_EXPAND_SZ);
    const CoreSettings& s = Early();
    EXPECT_EQ(s.EnablePreloadPVK, -1);
    EXPECT_EQ(s.AutoRes + s.AutoResEnabled, 0);
    EXPECT_EQ(s.TimesNewRomanScale, 50);
    EXPECT_EQ(s.MingLiUScale, 200);
    EXPECT_EQ(s.MingLiU, "%FONT%");  // not expanded
    registry.SetDword(L"", L"AutoRes", 3);
    registry.SetString(L"Fonts", L"MingLiU", L"0");  // switched off
    const wchar_t face[] = {L'S', L'i', L'm'};  // text without a terminator ends with its data
    registry.SetRaw(L"Fonts", L"TimesNewRoman", REG_SZ, face, sizeof face);
    EXPECT_EQ(Early().AutoRes, 3u);
    EXPECT_EQ(config->Settings().MingLiU + config->Settings().TimesNewRoman, "Sim");
}

}  // namespace
