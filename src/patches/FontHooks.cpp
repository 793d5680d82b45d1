#include "patches/FontHooks.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <optional>
#include <string_view>

#include "common/TextEncoding.h"
#include "hooks/HookCall.h"
#include "patches/FontHook.h"
#include "patches/FontRules.h"

namespace modroute {

RealFontFunctionTable RealFontFunctions = {};

namespace {

constexpr HRESULT kFailed = static_cast<HRESULT>(0x80004005);  // E_FAIL
// A face name longer than this matches none of the names the game asks for.
constexpr std::size_t kFaceBytesExamined = 2 * LF_FACESIZE;

// What a substituted font is created with.
struct Replacement {
    char gbkFace[LF_FACESIZE] = {};  // at most 31 bytes, terminated
    wchar_t wideFace[LF_FACESIZE] = {};
    std::int32_t scale = 100;

    int Scaled(int size) const { return ScaleFontSize(size, scale); }
    UINT Scaled(UINT size) const { return static_cast<UINT>(ScaleFontSize(static_cast<std::int32_t>(size), scale)); }
};

std::string_view NarrowFace(const char* face, std::size_t maxBytes) { return {face, strnlen(face, maxBytes)}; }

// A wide face name in code page 936; empty when it does not convert into the buffer.
std::string_view GbkFace(const wchar_t* face, std::size_t maxUnits, char (&buffer)[kFaceBytesExamined]) {
    const int units = static_cast<int>(wcsnlen(face, maxUnits));
    const int bytes = WideCharToMultiByte(kGameCodePage, 0, face, units, buffer, static_cast<int>(sizeof buffer),
                                          nullptr, nullptr);
    return {buffer, static_cast<std::size_t>(std::max(bytes, 0))};
}

// The replacement for a requested face, when chooseKind (given the settings
// in force) picks a kind and that kind resolves to an installed face.
template <typename ChooseKind>
std::optional<Replacement> ReplacementFor(ChooseKind chooseKind) noexcept {
    try {
        const std::optional<FontKind> kind = chooseKind(FontHook::CurrentSettings());
        if (!kind) return std::nullopt;
        const auto resolved = FontHook::ResolveFace(*kind);
        if (!resolved) return std::nullopt;
        Replacement replacement;
        const std::string_view face = GbkTruncate(resolved->gbkFace, kLogFontFaceBytes);
        std::copy(face.begin(), face.end(), replacement.gbkFace);
        if (MultiByteToWideChar(kGameCodePage, 0, replacement.gbkFace, -1, replacement.wideFace, LF_FACESIZE) == 0) {
            return std::nullopt;
        }
        replacement.scale = resolved->scale;
        return replacement;
    } catch (...) {
        return std::nullopt;  // the game's own font then
    }
}

template <typename LogFont>
void ResizeAndRecharset(LogFont& logFont, const Replacement& replacement) {
    logFont.lfHeight = replacement.Scaled(static_cast<int>(logFont.lfHeight));
    logFont.lfWidth = replacement.Scaled(static_cast<int>(logFont.lfWidth));
    logFont.lfCharSet = static_cast<BYTE>(SubstitutedCharSet(logFont.lfCharSet));
}

}  // namespace

HFONT WINAPI HookedCreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                               DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outputPrecision,
                               DWORD clipPrecision, DWORD quality, DWORD pitchAndFamily, LPCSTR faceName) {
    const auto real = RealFontFunctions.CreateFontA;
    if (real == nullptr) return nullptr;
    if (MustPassThrough()) {
        return real(height, width, escapement, orientation, weight, italic, underline, strikeOut, charSet,
                    outputPrecision, clipPrecision, quality, pitchAndFamily, faceName);
    }
    const HookCall call;
    std::optional<Replacement> replacement;
    if (faceName != nullptr) {
        replacement = ReplacementFor([&](const FontSettings& settings) {
            return TimesNewRomanOnlyKind(NarrowFace(faceName, kFaceBytesExamined), settings);
        });
    }
    call.RestoreLastError();
    if (!replacement) {
        return real(height, width, escapement, orientation, weight, italic, underline, strikeOut, charSet,
                    outputPrecision, clipPrecision, quality, pitchAndFamily, faceName);
    }
    return real(replacement->Scaled(height), replacement->Scaled(width), escapement, orientation, weight, italic,
                underline, strikeOut, SubstitutedCharSet(charSet), outputPrecision, clipPrecision, quality,
                pitchAndFamily, replacement->gbkFace);
}

HFONT WINAPI HookedCreateFontIndirectA(const LOGFONTA* logFont) {
    const auto real = RealFontFunctions.CreateFontIndirectA;
    if (real == nullptr) return nullptr;
    if (logFont == nullptr || MustPassThrough()) return real(logFont);
    const HookCall call;
    const auto replacement = ReplacementFor([&](const FontSettings& settings) {
        return IndirectFontKind(NarrowFace(logFont->lfFaceName, LF_FACESIZE), settings);
    });
    call.RestoreLastError();
    if (!replacement) return real(logFont);
    LOGFONTA substituted = *logFont;
    ResizeAndRecharset(substituted, *replacement);
    std::memcpy(substituted.lfFaceName, replacement->gbkFace, sizeof substituted.lfFaceName);
    return real(&substituted);
}

HFONT WINAPI HookedCreateFontIndirectW(const LOGFONTW* logFont) {
    const auto real = RealFontFunctions.CreateFontIndirectW;
    if (real == nullptr) return nullptr;
    if (logFont == nullptr || MustPassThrough()) return real(logFont);
    const HookCall call;
    const auto replacement = ReplacementFor([&](const FontSettings& settings) {
        char buffer[kFaceBytesExamined];
        return IndirectFontKind(GbkFace(logFont->lfFaceName, LF_FACESIZE, buffer), settings);
    });
    call.RestoreLastError();
    if (!replacement) return real(logFont);
    LOGFONTW substituted = *logFont;
    ResizeAndRecharset(substituted, *replacement);
    std::memcpy(substituted.lfFaceName, replacement->wideFace, sizeof substituted.lfFaceName);
    return real(&substituted);
}

HRESULT WINAPI HookedD3DXCreateFontA(void* device, INT height, UINT width, UINT weight, UINT mipLevels,
                                     BOOL italic, DWORD charSet, DWORD outputPrecision, DWORD quality,
                                     DWORD pitchAndFamily, LPCSTR faceName, void** font) {
    const auto real = RealFontFunctions.D3DXCreateFontA;
    if (real == nullptr) return kFailed;
    if (MustPassThrough()) {
        return real(device, height, width, weight, mipLevels, italic, charSet, outputPrecision, quality,
                    pitchAndFamily, faceName, font);
    }
    const HookCall call;
    std::optional<Replacement> replacement;
    if (faceName != nullptr) {
        replacement = ReplacementFor([&](const FontSettings& settings) {
            return TimesNewRomanOnlyKind(NarrowFace(faceName, kFaceBytesExamined), settings);
        });
    }
    call.RestoreLastError();
    if (!replacement) {
        return real(device, height, width, weight, mipLevels, italic, charSet, outputPrecision, quality,
                    pitchAndFamily, faceName, font);
    }
    return real(device, replacement->Scaled(height), replacement->Scaled(width), weight, mipLevels, italic,
                SubstitutedCharSet(charSet), outputPrecision, quality, pitchAndFamily, replacement->gbkFace, font);
}

HRESULT WINAPI HookedD3DXCreateFontW(void* device, INT height, UINT width, UINT weight, UINT mipLevels,
                                     BOOL italic, DWORD charSet, DWORD outputPrecision, DWORD quality,
                                     DWORD pitchAndFamily, LPCWSTR faceName, void** font) {
    const auto real = RealFontFunctions.D3DXCreateFontW;
    if (real == nullptr) return kFailed;
    if (MustPassThrough()) {
        return real(device, height, width, weight, mipLevels, italic, charSet, outputPrecision, quality,
                    pitchAndFamily, faceName, font);
    }
    const HookCall call;
    std::optional<Replacement> replacement;
    if (faceName != nullptr) {
        replacement = ReplacementFor([&](const FontSettings& settings) {
            char buffer[kFaceBytesExamined];
            return TimesNewRomanOnlyKind(GbkFace(faceName, kFaceBytesExamined, buffer), settings);
        });
    }
    call.RestoreLastError();
    if (!replacement) {
        return real(device, height, width, weight, mipLevels, italic, charSet, outputPrecision, quality,
                    pitchAndFamily, faceName, font);
    }
    return real(device, replacement->Scaled(height), replacement->Scaled(width), weight, mipLevels, italic,
                SubstitutedCharSet(charSet), outputPrecision, quality, pitchAndFamily, replacement->wideFace, font);
}

// The four drawing functions are hooked only to be passed through.

HGDIOBJ WINAPI HookedGetStockObject(int object) {
    const auto real = RealFontFunctions.GetStockObject;
    if (real == nullptr) return nullptr;
    if (MustPassThrough()) return real(object);
    const HookCall call;
    return real(object);
}

BOOL WINAPI HookedTextOutA(HDC dc, int x, int y, LPCSTR text, int length) {
    const auto real = RealFontFunctions.TextOutA;
    if (real == nullptr) return FALSE;
    if (MustPassThrough()) return real(dc, x, y, text, length);
    const HookCall call;
    return real(dc, x, y, text, length);
}

int WINAPI HookedDrawTextA(HDC dc, LPCSTR text, int length, LPRECT rect, UINT format) {
    const auto real = RealFontFunctions.DrawTextA;
    if (real == nullptr) return 0;
    if (MustPassThrough()) return real(dc, text, length, rect, format);
    const HookCall call;
    return real(dc, text, length, rect, format);
}

int WINAPI HookedDrawTextW(HDC dc, LPCWSTR text, int length, LPRECT rect, UINT format) {
    const auto real = RealFontFunctions.DrawTextW;
    if (real == nullptr) return 0;
    if (MustPassThrough()) return real(dc, text, length, rect, format);
    const HookCall call;
    return real(dc, text, length, rect, format);
}

}  // namespace modroute
