// The font hooks placed in this test process: the kind chosen for real
// LOGFONTs, the sizes and character sets GDI receives, the drawing functions
// passed through, and removal. (The D3DX fonts are checked in the stand-in
// game.) The test prefix has Tahoma and Symbol installed.
#include <gtest/gtest.h>

#include <windows.h>

#include <array>
#include <cstring>
#include <string>

#include "common/TextEncoding.h"
#include "patches/FontHook.h"
#include "patches/FontHooks.h"

using namespace modroute;

namespace {

using Entry = std::array<std::uint8_t, 5>;

Entry EntryOf(const char* module, const char* function) {
    Entry bytes = {};
    const auto* code = reinterpret_cast<const std::uint8_t*>(GetProcAddress(GetModuleHandleA(module), function));
    if (code != nullptr) std::memcpy(bytes.data(), code, bytes.size());
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

void Configure(const char* timesNewRoman, int timesNewRomanScale, const char* mingLiU, int mingLiUScale) {
    CoreSettings settings;
    settings.TimesNewRoman = timesNewRoman;
    settings.TimesNewRomanScale = timesNewRomanScale;
    settings.MingLiU = mingLiU;
    settings.MingLiUScale = mingLiUScale;
    FontHook::Refresh(settings);
}

}  // namespace

// Runs before any other test of this file hooks anything.
TEST(FontHookSetup, RemoveBeforeInitializeFailsAndRemoveRestoresTheEntries) {
    const Entry original = EntryOf("gdi32.dll", "CreateFontA");
    ASSERT_FALSE(FontHook::IsInitialized());
    EXPECT_FALSE(FontHook::Remove());
    EXPECT_EQ(EntryOf("gdi32.dll", "CreateFontA"), original);

    for (int round = 0; round < 2; ++round) {  // hooked again after a removal
        ASSERT_TRUE(FontHook::Initialize());
        EXPECT_TRUE(FontHook::Initialize());  // already initialised
        EXPECT_NE(EntryOf("gdi32.dll", "CreateFontA"), original);
        EXPECT_TRUE(FontHook::Remove());
        EXPECT_EQ(EntryOf("gdi32.dll", "CreateFontA"), original);
        EXPECT_FALSE(FontHook::Remove());
    }
}

class FontHookTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(FontHook::Initialize());
        Configure("Tahoma", 120, "Symbol", 150);
    }
    void TearDown() override {
        FontHook::Remove();
        FontHook::Refresh(CoreSettings{});
    }
};

TEST_F(FontHookTest, KindAndReplacementChosenForRealLogFonts) {
    struct Case {
        const char* api;
        const char* face;  // UTF-8
        int height;
        int width;
        int charSet;
        const char* expected;
    };
    const Case cases[] = {
        {"CreateFontA", "Times New Roman", -16, 0, 0, "Tahoma -19 0 134"},
        // Times New Roman only, also where GDI passes the request on to CreateFontIndirectA.
        {"CreateFontA", "mingliu", -16, 0, 0, "mingliu -16 0 0"},
        {"CreateFontA", "Times New Roman ", -16, 0, 0, "Times New Roman  -16 0 0"},
        {"CreateFontIndirectA", "\xE7\xBB\x86\xE6\x98\x8E\xE4\xBD\x93", -12, 0, 2, "Symbol -18 0 2"},  // 细明体
        {"CreateFontIndirectA", "MingLiU_HK", -16, 0, 0, "MingLiU_HK -16 0 0"},
        {"CreateFontIndirectA", "Times New Roman", -15, -7, 0, "Tahoma -18 -8 134"},
        {"CreateFontIndirectA", "Arial", -16, 0, 0, "Arial -16 0 0"},
    };
    for (const Case& c : cases) {
        HFONT font = nullptr;
        if (std::string(c.api) == "CreateFontA") {
            font = CreateFontA(c.height, c.width, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, c.charSet, OUT_DEFAULT_PRECIS,
                               CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, Utf8ToGbk(c.face).c_str());
        } else {
            LOGFONTA logFont = {};
            logFont.lfHeight = c.height;
            logFont.lfWidth = c.width;
            logFont.lfCharSet = static_cast<BYTE>(c.charSet);
            lstrcpynA(logFont.lfFaceName, Utf8ToGbk(c.face).c_str(), LF_FACESIZE);
            font = CreateFontIndirectA(&logFont);
        }
        EXPECT_EQ(LogFontOf(font), c.expected) << c.api << " " << c.face;
    }
}

TEST(FontHookPassThrough, DrawingFunctionsAnswerAsBeforeWhileHooked) {
    HDC dc = CreateCompatibleDC(nullptr);
    ASSERT_NE(dc, nullptr);
    auto answers = [&] {
        RECT a = {0, 0, 0, 0};
        RECT w = {0, 0, 0, 0};
        const int heightA = DrawTextA(dc, "Tavren", -1, &a, DT_CALCRECT);
        const int heightW = DrawTextW(dc, L"Tavren", -1, &w, DT_CALCRECT);
        return std::to_string(reinterpret_cast<UINT_PTR>(GetStockObject(DEFAULT_GUI_FONT))) + " " +
               std::to_string(TextOutA(dc, 0, 0, "Tavren", 6)) + " " + std::to_string(heightA) + " " +
               std::to_string(a.right) + " " + std::to_string(heightW) + " " + std::to_string(w.right);
    };
    const std::string unhooked = answers();
    const Entry drawTextW = EntryOf("user32.dll", "DrawTextW");
    ASSERT_TRUE(FontHook::Initialize());
    EXPECT_NE(EntryOf("user32.dll", "DrawTextW"), drawTextW);
    EXPECT_EQ(answers(), unhooked);
    EXPECT_TRUE(FontHook::Remove());
    DeleteDC(dc);
}
