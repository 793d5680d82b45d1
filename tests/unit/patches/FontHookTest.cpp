// The font hooks placed in this test process (the D3DX fonts are checked in
// the stand-in game). The test prefix has Tahoma and Symbol installed.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>

#include "common/TextEncoding.h"
#include "patches/FontHook.h"

using namespace modroute;

namespace {

std::string EntryOf(const char* module, const char* function) {
    return std::string(reinterpret_cast<const char*>(GetProcAddress(GetModuleHandleA(module), function)), 5);
}

}  // namespace

// Runs before any other test of this file hooks anything. Removing restores
// the entries; hooked again after a removal; drawing answers as before.
TEST(FontHookSetup, RemoveRestoresTheEntriesAndDrawingFunctionsAnswerAsBeforeWhileHooked) {
    HDC dc = CreateCompatibleDC(nullptr);
    const auto answers = [&] {
        RECT a = {0, 0, 0, 0}, w = {0, 0, 0, 0};
        return std::to_string(DrawTextA(dc, "Tavren", -1, &a, DT_CALCRECT)) + " " + std::to_string(a.right) + " " +
               std::to_string(DrawTextW(dc, L"Tavren", -1, &w, DT_CALCRECT)) + " " + std::to_string(w.right) + " " +
               std::to_string(TextOutA(dc, 0, 0, "Tavren", 6));
    };
    const std::string unhooked = answers(), original = EntryOf("gdi32.dll", "CreateFontA");
    EXPECT_FALSE(FontHook::Remove());
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(FontHook::Initialize(FontSettings{}));
        EXPECT_NE(EntryOf("gdi32.dll", "CreateFontA"), original);
        EXPECT_EQ(answers(), unhooked);
        EXPECT_TRUE(FontHook::Remove());
        EXPECT_EQ(EntryOf("gdi32.dll", "CreateFontA"), original);
    }
    DeleteDC(dc);
}

TEST(FontHook, KindAndReplacementChosenForRealLogFonts) {
    ASSERT_TRUE(FontHook::Initialize(FontSettings{}));
    FontHook::Refresh(FontSettings::FromUtf8("Tahoma", 120, "Symbol", 150, Utf8ToGbk));
    // through CreateFontA (Times New Roman only, also where GDI passes it on to
    // CreateFontIndirectA), face, height, width, character set, LOGFONT received
    const std::tuple<bool, const char*, int, int, int, const char*> cases[] = {
        {true, "mingliu", -16, 0, 0, "mingliu -16 0 0"},
        {false, "\xE7\xBB\x86\xE6\x98\x8E\xE4\xBD\x93", -12, 0, 2, "Symbol -18 0 2"},  // 细明体
        {false, "Times New Roman", -15, -7, 1, "Tahoma -18 -8 134"},
    };
    for (const auto& [createFontA, face, height, width, charSet, expected] : cases) {
        LOGFONTA logFont = {};
        logFont.lfHeight = height, logFont.lfWidth = width, logFont.lfCharSet = static_cast<BYTE>(charSet);
        lstrcpynA(logFont.lfFaceName, Utf8ToGbk(face).c_str(), LF_FACESIZE);
        const HFONT font = createFontA ? CreateFontA(height, width, 0, 0, 0, 0, 0, 0, charSet, 0, 0, 0, 0, logFont.lfFaceName)
                                       : CreateFontIndirectA(&logFont);
        LOGFONTW got = {};
        GetObjectW(font, sizeof got, &got);
        DeleteObject(font);
        EXPECT_EQ(WideToUtf8(got.lfFaceName) + " " + std::to_string(got.lfHeight) + " " + std::to_string(got.lfWidth) +
                      " " + std::to_string(got.lfCharSet), expected) << face;
    }
    FontHook::Remove();
    FontHook::Refresh(FontSettings{});
}
