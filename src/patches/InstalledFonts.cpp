#include "patches/InstalledFonts.h"

#include <windows.h>

#include <algorithm>

#include "patches/FontRules.h"

namespace modroute {
namespace {

int CALLBACK RecordHit(const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;  // one family is enough
}

}  // namespace

bool IsFontInstalled(std::string_view gbkFace) {
    const std::string_view face = GbkTruncate(gbkFace, kLogFontFaceBytes);
    if (face.empty()) return false;
    HDC screen = GetDC(nullptr);
    if (screen == nullptr) return false;
    LOGFONTA wanted = {};
    wanted.lfCharSet = DEFAULT_CHARSET;
    std::copy(face.begin(), face.end(), wanted.lfFaceName);
    bool found = false;
    EnumFontFamiliesExA(screen, &wanted, RecordHit, reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, screen);
    return found;
}

}  // namespace modroute
