// The font hooks placed in this test process: the kind chosen for real
// LOGFONTs, the sizes and character sets GDI and the stand-in d3dx9_43.dll
// (beside this executable) receive, the drawing functions passed through, and
// removal. The test prefix has Tahoma and Symbol installed.
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

    ASSERT_TRUE(FontHook::Initialize());
    EXPECT_TRUE(FontHook::Initialize());  // already initialised
    EXPECT_NE(EntryOf("gdi32.dll", "CreateFontA"), original);
    EXPECT_TRUE(FontHook::Remove());
    EXPECT_EQ(EntryOf("gdi32.dll", "CreateFontA"), original);
    EXPECT_FALSE(FontHook::Remove());
    // Hooked again after a removal.
    ASSERT_TRUE(FontHook::Initialize());
    EXPECT_NE(EntryOf("gdi32.dll", "CreateFontA"), original);
    EXPECT_TRUE(FontHook::Remove());
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
        {"CreateFontA", "times new roman", 20, 10, 1, "Tahoma 24 12 134"},
        {"CreateFontA", "Times New Roman", -16, 0, 136, "Tahoma -19 0 136"},
        // Times New Roman only, also where GDI passes the request on to CreateFontIndirectA.
        {"CreateFontA", "mingliu", -16, 0, 0, "mingliu -16 0 0"},
        {"CreateFontA", "Times New Roman ", -16, 0, 0, "Times New Roman  -16 0 0"},
        {"CreateFontIndirectA", "mingliu", 20, 0, 0, "Symbol 30 0 134"},
        {"CreateFontIndirectA", "\xE7\xBB\x86\xE6\x98\x8E\xE4\xBD\x93", -12, 0, 2, "Symbol -18 0 2"},  // 细明体
        {"CreateFontIndirectA", "MingLiU_HKSCS", -16, 0, 1, "Symbol -24 0 134"},
        {"CreateFontIndirectA", "MingLiU_HK", -16, 0, 0, "MingLiU_HK -16 0 0"},
        {"CreateFontIndirectA", "Times New Roman", -15, -7, 0, "Tahoma -18 -8 134"},
        {"CreateFontIndirectA", "", -16, 0, 0, " -16 0 0"},
        {"CreateFontIndirectW", "\xE7\xB4\xB0\xE6\x98\x8E\xE9\xAB\x94", -16, 8, 0, "Symbol -24 12 134"},  // 細明體
        {"CreateFontIndirectW", "TIMES NEW ROMAN", -16, 0, 0, "Tahoma -19 0 134"},
        {"CreateFontIndirectW", "Arial", -16, 0, 0, "Arial -16 0 0"},
    };
    for (const Case& c : cases) {
        HFONT font = nullptr;
        const std::string api = c.api;
        if (api == "CreateFontA") {
            font = CreateFontA(c.height, c.width, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, c.charSet, OUT_DEFAULT_PRECIS,
                               CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, Utf8ToGbk(c.face).c_str());
        } else if (api == "CreateFontIndirectA") {
            LOGFONTA logFont = {};
            logFont.lfHeight = c.height;
            logFont.lfWidth = c.width;
            logFont.lfCharSet = static_cast<BYTE>(c.charSet);
            lstrcpynA(logFont.lfFaceName, Utf8ToGbk(c.face).c_str(), LF_FACESIZE);
            font = CreateFontIndirectA(&logFont);
        } else {
            LOGFONTW logFont = {};
            logFont.lfHeight = c.height;
            logFont.lfWidth = c.width;
            logFont.lfCharSet = static_cast<BYTE>(c.charSet);
            lstrcpynW(logFont.lfFaceName, Utf8ToWide(c.face).c_str(), LF_FACESIZE);
            font = CreateFontIndirectW(&logFont);
        }
        EXPECT_EQ(LogFontOf(font), c.expected) << c.api << " " << c.face;
    }
}

TEST_F(FontHookTest, ZeroSwitchesOneKindOffAndTheOtherStaysOn) {
    Configure("0", 120, "Symbol", 150);
    EXPECT_EQ(LogFontOf(CreateFontA(-16, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "Times New Roman")),
              "Times New Roman -16 0 0");
    LOGFONTA mingLiU = {};
    mingLiU.lfHeight = -16;
    lstrcpyA(mingLiU.lfFaceName, "MingLiU");
    EXPECT_EQ(LogFontOf(CreateFontIndirectA(&mingLiU)), "Symbol -24 0 134");
    Configure("Tahoma", 120, "0", 150);
    EXPECT_EQ(LogFontOf(CreateFontIndirectA(&mingLiU)), "MingLiU -16 0 0");
}

TEST_F(FontHookTest, D3dxFontsReachTheLibraryScaledWithTheReplacement) {
    HMODULE d3dx = GetModuleHandleA("d3dx9_43.dll");
    ASSERT_NE(d3dx, nullptr) << "Initialize loads d3dx9_43.dll";
    using LastCall = const char*(WINAPI*)();
    const auto lastCall = reinterpret_cast<LastCall>(reinterpret_cast<void*>(GetProcAddress(d3dx, "D3dxStandinLastCall")));
    ASSERT_NE(lastCall, nullptr) << "not the stand-in d3dx9_43.dll";
    const auto createA = reinterpret_cast<D3dxCreateFontAFunction>(
        reinterpret_cast<void*>(GetProcAddress(d3dx, "D3DXCreateFontA")));
    const auto createW = reinterpret_cast<D3dxCreateFontWFunction>(
        reinterpret_cast<void*>(GetProcAddress(d3dx, "D3DXCreateFontW")));
    ASSERT_TRUE(createA && createW);

    auto recorded = [&](const char* api, int height, unsigned width, unsigned charSet, const char* face) {
        return std::string("d3dx9_43: ") + api + " device=0x00000000 height=" + std::to_string(height) +
               " width=" + std::to_string(width) + " weight=400 miplevels=1 italic=0 charset=" +
               std::to_string(charSet) + " precision=0 quality=0 pitchandfamily=0 face=" + face + "\n";
    };
    void* font = nullptr;
    EXPECT_EQ(createA(nullptr, 20, 10, FW_NORMAL, 1, FALSE, 0, 0, 0, 0, "Times New Roman", &font), S_OK);
    EXPECT_EQ(lastCall(), recorded("D3DXCreateFontA", 24, 12, 134, "Tahoma"));
    EXPECT_EQ(createW(nullptr, -16, 0, FW_NORMAL, 1, FALSE, 136, 0, 0, 0, L"times new roman", &font), S_OK);
    EXPECT_EQ(lastCall(), recorded("D3DXCreateFontW", -19, 0, 136, "Tahoma"));
    // D3DX fonts of the MingLiU family keep their face.
    EXPECT_EQ(createA(nullptr, 20, 0, FW_NORMAL, 1, FALSE, 1, 0, 0, 0, "MingLiU", &font), S_OK);
    EXPECT_EQ(lastCall(), recorded("D3DXCreateFontA", 20, 0, 1, "MingLiU"));
    Configure("Tahoma", 150, "", 100);
    EXPECT_EQ(createW(nullptr, 20, 0, FW_NORMAL, 1, FALSE, 0, 0, 0, 0, L"Times New Roman", &font), S_OK);
    EXPECT_EQ(lastCall(), recorded("D3DXCreateFontW", 30, 0, 134, "Tahoma"));
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

TEST(FontHookPassThrough, ReplacementsWithoutTheirRealFunctionAnswerNothing) {
    // As if the functions were never found: nothing is called.
    const RealFontFunctionTable saved = RealFontFunctions;
    RealFontFunctions = RealFontFunctionTable{};
    LOGFONTA logFontA = {};
    LOGFONTW logFontW = {};
    void* font = nullptr;
    EXPECT_EQ(HookedCreateFontA(-16, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "Times New Roman"), nullptr);
    EXPECT_EQ(HookedCreateFontIndirectA(&logFontA), nullptr);
    EXPECT_EQ(HookedCreateFontIndirectW(&logFontW), nullptr);
    EXPECT_EQ(HookedGetStockObject(DEFAULT_GUI_FONT), nullptr);
    EXPECT_EQ(HookedTextOutA(nullptr, 0, 0, "x", 1), FALSE);
    EXPECT_EQ(HookedDrawTextA(nullptr, "x", 1, nullptr, 0), 0);
    EXPECT_EQ(HookedDrawTextW(nullptr, L"x", 1, nullptr, 0), 0);
    EXPECT_EQ(HookedD3DXCreateFontA(nullptr, 20, 0, 0, 1, 0, 0, 0, 0, 0, "Times New Roman", &font), E_FAIL);
    EXPECT_EQ(HookedD3DXCreateFontW(nullptr, 20, 0, 0, 1, 0, 0, 0, 0, 0, L"Times New Roman", &font), E_FAIL);
    RealFontFunctions = saved;
}
