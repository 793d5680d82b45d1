// The font hooks placed in this test process (the D3DX fonts are checked in
// the stand-in game). The test prefix has Tahoma and Symbol installed.
#include <gtest/gtest.h>

#include <windows.h>

#include <array>
#include <cstring>
#include <string>

#include "common/TextEncoding.h"
#include "patches/FontHook.h"

using namespace modroute;

namespace {

std::array<std::uint8_t, 5> EntryOf(const char* module, const char* function) {
    std::array<std::uint8_t, 5> bytes = {};
    std::memcpy(bytes.data(), reinterpret_cast<const void*>(GetProcAddress(GetModuleHandleA(module), function)), 5);
    return bytes;
}

// The LOGFONT GDI keeps for the font, face in UTF-8.
std::string LogFontOf(HFONT font) {
    if (font == nullptr) return "<no font>";
    LOGFONTW logFont = {};
    GetObjectW(font, sizeof logFont, &logFont);
    DeleteObject(font);
    return WideToUtf8(logFont.lfFaceName) + " " + std::to_string(logFont.lfHeight) + " " +
           std::to_string(logFont.lfWidth) + " " + std::to_string(logFont.lfCharSet);
}

}  // namespace

// Runs before any other test of this file hooks anything. Removing before
// initialising fails; removing restores the entries; hooked again after a
// removal; the drawing functions answer as before while hooked.
TEST(FontHookSetup, RemoveRestoresTheEntriesAndDrawingFunctionsAnswerAsBeforeWhileHooked) {
    HDC dc = CreateCompatibleDC(nullptr);
    auto answers = [&] {
        RECT a = {0, 0, 0, 0}, w = {0, 0, 0, 0};
        const int heightA = DrawTextA(dc, "Tavren", -1, &a, DT_CALCRECT);
        const int heightW = DrawTextW(dc, L"Tavren", -1, &w, DT_CALCRECT);
        return std::to_string(reinterpret_cast<UINT_PTR>(GetStockObject(DEFAULT_GUI_FONT))) + " " +
               std::to_string(TextOutA(dc, 0, 0, "Tavren", 6)) + " " + std::to_string(heightA) + " " +
               std::to_string(a.right) + " " + std::to_string(heightW) + " " + std::to_string(w.right);
    };
    const std::string unhooked = answers();
    const auto original = EntryOf("gdi32.dll", "CreateFontA");
    const auto drawTextW = EntryOf("user32.dll", "DrawTextW");
    ASSERT_FALSE(FontHook::IsInitialized());
    EXPECT_FALSE(FontHook::Remove());
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(FontHook::Initialize());
        EXPECT_TRUE(FontHook::Initialize());  // already initialised
        EXPECT_NE(EntryOf("gdi32.dll", "CreateFontA"), original);
        EXPECT_NE(EntryOf("user32.dll", "DrawTextW"), drawTextW);
        EXPECT_EQ(answers(), unhooked);
        EXPECT_TRUE(FontHook::Remove());
        EXPECT_EQ(EntryOf("gdi32.dll", "CreateFontA"), original);
        EXPECT_FALSE(FontHook::Remove());
    }
    DeleteDC(dc);
}

TEST(FontHook, KindAndReplacementChosenForRealLogFonts) {
    ASSERT_TRUE(FontHook::Initialize());
    CoreSettings settings;
    settings.TimesNewRoman = "Tahoma", settings.TimesNewRomanScale = 120;
    settings.MingLiU = "Symbol", settings.MingLiUScale = 150;
    FontHook::Refresh(settings);
    // through CreateFontA, face (UTF-8), height, width, character set, LOGFONT received
    const std::tuple<bool, const char*, int, int, int, const char*> cases[] = {
        // Times New Roman only, also where GDI passes the request on to CreateFontIndirectA.
        {true, "mingliu", -16, 0, 0, "mingliu -16 0 0"},
        {false, "\xE7\xBB\x86\xE6\x98\x8E\xE4\xBD\x93", -12, 0, 2, "Symbol -18 0 2"},  // 细明体
        {false, "Times New Roman", -15, -7, 0, "Tahoma -18 -8 134"},
    };
    for (const auto& [createFontA, face, height, width, charSet, expected] : cases) {
        LOGFONTA logFont = {};
        logFont.lfHeight = height, logFont.lfWidth = width, logFont.lfCharSet = static_cast<BYTE>(charSet);
        lstrcpynA(logFont.lfFaceName, Utf8ToGbk(face).c_str(), LF_FACESIZE);
        const HFONT font = createFontA ? CreateFontA(height, width, 0, 0, 0, 0, 0, 0, charSet, 0, 0, 0, 0, logFont.lfFaceName)
                                       : CreateFontIndirectA(&logFont);
        EXPECT_EQ(LogFontOf(font), expected) << createFontA << " " << face;
    }
    FontHook::Remove();
    FontHook::Refresh(CoreSettings{});
}
