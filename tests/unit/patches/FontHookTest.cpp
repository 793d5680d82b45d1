// The font hooks placed in this test process (the D3DX fonts are checked in
// the stand-in game). The test prefix has Tahoma and Symbol installed.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "common/TextEncoding.h"
#include "patches/FontHook.h"

using namespace modroute;

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
