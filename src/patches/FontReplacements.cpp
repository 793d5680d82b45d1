#include "patches/FontReplacements.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <optional>
#include <string_view>

#include "common/HookCall.h"
#include "common/StartupGate.h"
#include "common/TextEncoding.h"
#include "patches/FontHook.h"
#include "patches/FontRules.h"

namespace modroute {

RealFontFunctionTable RealFontFunctions = {};

namespace {

// A face name longer than this matches none of the names the game asks for.
constexpr std::size_t kFaceBytesExamined = 2 * LF_FACESIZE;

// What a substituted font is created with.
struct Replacement {
    char gbkFace[LF_FACESIZE] = {};  // at most 31 bytes, terminated
    wchar_t wideFace[LF_FACESIZE] = {};
    std::int32_t scale = 100;

    int Scaled(int size) const { return ScaleFontSize(size, scale); }
    UINT Scaled(UINT size) const { return static_cast<UINT>(ScaleFontSize(static_cast<std::int32_t>(size), scale)); }
    // The face in the encoding of the function it is handed to.
    const char* Face(const char*) const { return gbkFace; }
    const wchar_t* Face(const wchar_t*) const { return wideFace; }
};

// A requested face name as GBK bytes, of at most maxLength characters; a
// wide name is converted into the buffer (empty when it does not fit).
using FaceBuffer = char[kFaceBytesExamined];
std::string_view GbkFace(const char* face, std::size_t maxLength, FaceBuffer&) {
    return {face, strnlen(face, maxLength)};
}
std::string_view GbkFace(const wchar_t* face, std::size_t maxLength, FaceBuffer& buffer) {
    const int units = static_cast<int>(wcsnlen(face, maxLength));
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
        // The faces are checked on the font thread; a call that cannot wait
        // for that (under the loader lock) keeps the game's own font.
        if (!StartupGate::Instance().Await(StartupWork::Faces)) return std::nullopt;
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
void Substitute(LogFont& logFont, const Replacement& replacement) {
    logFont.lfHeight = replacement.Scaled(static_cast<int>(logFont.lfHeight));
    logFont.lfWidth = replacement.Scaled(static_cast<int>(logFont.lfWidth));
    logFont.lfCharSet = static_cast<BYTE>(SubstitutedCharSet(logFont.lfCharSet));
    std::memcpy(logFont.lfFaceName, replacement.Face(logFont.lfFaceName), sizeof logFont.lfFaceName);
}

// CreateFontIndirectA and W: the MingLiU family or Times New Roman, on a copy.
template <typename LogFont>
HFONT CreateFontIndirect(HFONT(WINAPI* real)(const LogFont*), const LogFont* logFont) {
    if (real == nullptr) return nullptr;
    if (logFont == nullptr || MustPassThrough()) return real(logFont);
    const HookCall call;
    const auto replacement = ReplacementFor([&](const FontSettings& settings) {
        FaceBuffer buffer;
        return IndirectFontKind(GbkFace(logFont->lfFaceName, LF_FACESIZE, buffer), settings);
    });
    call.RestoreLastError();
    if (!replacement) return real(logFont);
    LogFont substituted = *logFont;
    Substitute(substituted, *replacement);
    return real(&substituted);
}

// The replacement for a face the game names by itself (CreateFontA, D3DX):
// Times New Roman only.
template <typename Char>
std::optional<Replacement> TimesNewRomanReplacement(const Char* faceName) {
    if (faceName == nullptr) return std::nullopt;
    return ReplacementFor([&](const FontSettings& settings) {
        FaceBuffer buffer;
        return TimesNewRomanOnlyKind(GbkFace(faceName, kFaceBytesExamined, buffer), settings);
    });
}

// D3DXCreateFontA and W: Times New Roman only.
template <typename Char>
HRESULT CreateD3dxFont(HRESULT(WINAPI* real)(void*, INT, UINT, UINT, UINT, BOOL, DWORD, DWORD, DWORD, DWORD,
                                             const Char*, void**),
                       void* device, INT height, UINT width, UINT weight, UINT mipLevels, BOOL italic, DWORD charSet,
                       DWORD outputPrecision, DWORD quality, DWORD pitchAndFamily, const Char* faceName, void** font) {
    if (real == nullptr) return E_FAIL;
    if (MustPassThrough()) {
        return real(device, height, width, weight, mipLevels, italic, charSet, outputPrecision, quality,
                    pitchAndFamily, faceName, font);
    }
    const HookCall call;
    const std::optional<Replacement> replacement = TimesNewRomanReplacement(faceName);
    call.RestoreLastError();
    if (!replacement) {
        return real(device, height, width, weight, mipLevels, italic, charSet, outputPrecision, quality,
                    pitchAndFamily, faceName, font);
    }
    return real(device, replacement->Scaled(height), replacement->Scaled(width), weight, mipLevels, italic,
                SubstitutedCharSet(charSet), outputPrecision, quality, pitchAndFamily, replacement->Face(faceName),
                font);
}

// The four drawing functions are hooked only to be passed through.
template <typename Result, typename... Parameters>
Result PassThrough(Result(WINAPI* real)(Parameters...), Parameters... arguments) {
    if (real == nullptr) return Result{};
    if (MustPassThrough()) return real(arguments...);
    const HookCall call;
    return real(arguments...);
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
    const std::optional<Replacement> replacement = TimesNewRomanReplacement(faceName);
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
    return CreateFontIndirect(RealFontFunctions.CreateFontIndirectA, logFont);
}

HFONT WINAPI HookedCreateFontIndirectW(const LOGFONTW* logFont) {
    return CreateFontIndirect(RealFontFunctions.CreateFontIndirectW, logFont);
}

HRESULT WINAPI HookedD3DXCreateFontA(void* device, INT height, UINT width, UINT weight, UINT mipLevels,
                                     BOOL italic, DWORD charSet, DWORD outputPrecision, DWORD quality,
                                     DWORD pitchAndFamily, LPCSTR faceName, void** font) {
    return CreateD3dxFont(RealFontFunctions.D3DXCreateFontA, device, height, width, weight, mipLevels, italic,
                          charSet, outputPrecision, quality, pitchAndFamily, faceName, font);
}

HRESULT WINAPI HookedD3DXCreateFontW(void* device, INT height, UINT width, UINT weight, UINT mipLevels,
                                     BOOL italic, DWORD charSet, DWORD outputPrecision, DWORD quality,
                                     DWORD pitchAndFamily, LPCWSTR faceName, void** font) {
    return CreateD3dxFont(RealFontFunctions.D3DXCreateFontW, device, height, width, weight, mipLevels, italic,
                          charSet, outputPrecision, quality, pitchAndFamily, faceName, font);
}

HGDIOBJ WINAPI HookedGetStockObject(int object) { return PassThrough(RealFontFunctions.GetStockObject, object); }

BOOL WINAPI HookedTextOutA(HDC dc, int x, int y, LPCSTR text, int length) {
    return PassThrough(RealFontFunctions.TextOutA, dc, x, y, text, length);
}

int WINAPI HookedDrawTextA(HDC dc, LPCSTR text, int length, LPRECT rect, UINT format) {
    return PassThrough(RealFontFunctions.DrawTextA, dc, text, length, rect, format);
}

int WINAPI HookedDrawTextW(HDC dc, LPCWSTR text, int length, LPRECT rect, UINT format) {
    return PassThrough(RealFontFunctions.DrawTextW, dc, text, length, rect, format);
}

}  // namespace modroute
