// Core settings as the early initialisation reads them from ModRoute.ini and
// the manager program's registry values, each test with a private HKCU.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

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

TEST_F(CoreSettingsTest, NothingConfiguredGivesTheDefaultsAndWritesNothing) {
    const CoreSettings& s = Early();
    EXPECT_EQ(s.SelectedMod + s.TimesNewRoman + s.MingLiU, "");
    const std::vector<long long> numbers = {s.ToggleCommand, s.OpenPlay, s.TimesNewRomanScale, s.MingLiUScale,
                                            s.AutoRes,       s.AutoResEnabled, s.EnablePreloadPVK, s.MaxMemoryMB};
    EXPECT_EQ(numbers, (std::vector<long long>{1, 1, 100, 100, 0, 0, 3, 512}));
    EXPECT_FALSE(registry.KeyExists(L""));
}

TEST_F(CoreSettingsTest, TheSelectedModIsReadOnceAndUnusableFilesSelectNothing) {
    const std::string marked = "\xEF\xBB\xBF[Settings]\r\nSelectedMod=刀锋 ; chosen\r\n";
    game.Write("ModRoute.ini", marked);
    EXPECT_EQ(Early().SelectedMod, "刀锋");
    EXPECT_EQ(TempDir::ReadFile(game / "ModRoute.ini"), marked);  // never written
    game.Write("ModRoute.ini", "[Settings]\nSelectedMod=Other\n");
    EXPECT_TRUE(config->EarlyInitialize());  // runs once: the file is not read again
    EXPECT_EQ(config->GetSelectedMod(), "刀锋");

    game.Write("ModRoute.ini", "[Settings]\nSelectedMod=..\\..\\Windows\n");
    EXPECT_EQ(Early().SelectedMod, "");
    game.Write("ModRoute.ini", "[Settings]\nSelectedMod=Blades\n");
    HANDLE locked = CreateFileW(Utf8ToWide(game / "ModRoute.ini").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_EQ(ReadSelectedMod(game.Path()), "");
    CloseHandle(locked);
    EXPECT_EQ(ReadSelectedMod(game.Path()), "Blades");
}

TEST_F(CoreSettingsTest, NumbersTakeExactlyFourBytesOfAnyType) {
    auto read = [] { return ReadRegistryNumber("Memory", L"MaxMemoryMB", 512); };
    EXPECT_EQ(read(), 512u);  // no key
    const BYTE four[4] = {0x00, 0x01, 0x00, 0x00};
    registry.SetRaw(L"Memory", L"MaxMemoryMB", REG_BINARY, four, sizeof four);
    EXPECT_EQ(read(), 256u);
    registry.SetString(L"Memory", L"MaxMemoryMB", L"7");  // "7" and its terminator
    EXPECT_EQ(read(), 0x37u);
    const ULONGLONG eight = 64;
    registry.SetRaw(L"Memory", L"MaxMemoryMB", REG_QWORD, &eight, sizeof eight);
    EXPECT_EQ(read(), 512u);

    registry.SetDword(L"Memory", L"MaxMemoryMB", 64);
    registry.SetDword(L"", L"EnablePreloadPVK", 0xFFFFFFFFu);
    EXPECT_EQ(Early().EnablePreloadPVK, -1);
    EXPECT_EQ(config->Settings().MaxMemoryMB, 64u);
    for (const auto& [stored, mode] : {std::pair<DWORD, std::uint32_t>{2, 2}, {3, 3}, {4, 0}, {0xFFFFFFFFu, 0}}) {
        registry.SetDword(L"", L"AutoRes", stored);
        EXPECT_EQ(Early().AutoRes, mode) << stored;
        EXPECT_EQ(config->Settings().AutoResEnabled, mode != 0) << stored;
    }
    // Patch values: each keeps its default unless it reads.
    registry.SetRaw(L"Patch", L"ToggleCommand", REG_QWORD, &eight, sizeof eight);
    registry.SetDword(L"Patch", L"OpenPlay", 0);
    EXPECT_EQ(Early().ToggleCommand, 1u);
    EXPECT_EQ(config->Settings().OpenPlay, 0u);
}

TEST_F(CoreSettingsTest, FontFacesAndScales) {
    registry.SetString(L"Fonts", L"TimesNewRoman", L"宋体");
    registry.SetDword(L"Fonts", L"TimesNewRomanScale", 10);
    registry.SetString(L"Fonts", L"MingLiU", L"%FONT%", REG_EXPAND_SZ);
    registry.SetDword(L"Fonts", L"MingLiUScale", 500);
    const CoreSettings& s = Early();
    EXPECT_EQ(s.TimesNewRoman, "宋体");
    EXPECT_EQ(s.MingLiU, "%FONT%");  // not expanded
    EXPECT_EQ(s.TimesNewRomanScale, 50);
    EXPECT_EQ(s.MingLiUScale, 200);

    registry.SetDword(L"Fonts", L"MingLiUScale", 0xFFFFFFFFu);
    registry.SetString(L"Fonts", L"MingLiU", L"0");  // switched off
    EXPECT_EQ(Early().MingLiUScale, 50);
    EXPECT_EQ(config->Settings().MingLiU, "");

    // Wrong types and over-long faces are ignored; text without a terminator ends with its data.
    registry.SetString(L"Fonts", L"TimesNewRomanScale", L"150");
    registry.SetDword(L"Fonts", L"MingLiU", 1);
    registry.SetString(L"Fonts", L"TimesNewRoman", std::wstring(256, L'x'));
    EXPECT_EQ(Early().TimesNewRomanScale, 100);
    EXPECT_EQ(config->Settings().MingLiU, "");
    EXPECT_EQ(config->Settings().TimesNewRoman, "");
    const wchar_t face[] = {L'S', L'i', L'm'};
    registry.SetRaw(L"Fonts", L"TimesNewRoman", REG_SZ, face, sizeof face);
    EXPECT_EQ(Early().TimesNewRoman, "Sim");
}

}  // namespace
