#include "common/TextEncoding.h"

#include <windows.h>

namespace modroute {
namespace {

std::wstring ToWide(unsigned codePage, std::string_view text, DWORD flags = 0) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(codePage, flags, text.data(), size, nullptr, 0);
    if (length <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    if (MultiByteToWideChar(codePage, flags, text.data(), size, wide.data(), length) != length) return {};
    return wide;
}

// usedDefault, when given, reports whether a character had no equivalent.
std::string FromWide(unsigned codePage, std::wstring_view wide, BOOL* usedDefault = nullptr) {
    if (wide.empty()) return {};
    const int size = static_cast<int>(wide.size());
    const int length = WideCharToMultiByte(codePage, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return {};
    std::string text(static_cast<std::size_t>(length), '\0');
    if (WideCharToMultiByte(codePage, 0, wide.data(), size, text.data(), length, nullptr, usedDefault) != length) {
        return {};
    }
    return text;
}

}  // namespace

std::string GbkToUtf8(std::string_view gbk) { return FromWide(CP_UTF8, ToWide(kGameCodePage, gbk)); }

std::optional<std::string> GbkToUtf8Exact(std::string_view gbk) {
    if (gbk.empty()) return std::string();
    const std::wstring wide = ToWide(kGameCodePage, gbk, MB_ERR_INVALID_CHARS);
    if (wide.empty()) return std::nullopt;
    return FromWide(CP_UTF8, wide);
}

std::string Utf8ToGbk(std::string_view utf8) { return FromWide(kGameCodePage, ToWide(CP_UTF8, utf8)); }

std::optional<std::string> Utf8ToGbkExact(std::string_view utf8) {
    if (utf8.empty()) return std::string();
    const std::wstring wide = ToWide(CP_UTF8, utf8, MB_ERR_INVALID_CHARS);
    if (wide.empty()) return std::nullopt;
    BOOL usedDefault = FALSE;
    std::string gbk = FromWide(kGameCodePage, wide, &usedDefault);
    if (usedDefault || gbk.empty()) return std::nullopt;
    return gbk;
}

std::wstring Utf8ToWide(std::string_view utf8) { return ToWide(CP_UTF8, utf8); }

std::string WideToUtf8(std::wstring_view wide) { return FromWide(CP_UTF8, wide); }


std::string WideToGbk(std::wstring_view wide) { return FromWide(kGameCodePage, wide); }

std::string Utf16LeBytesToGbk(std::string_view littleEndianBytes) {
    std::wstring wide(littleEndianBytes.size() / 2, L'\0');
    for (std::size_t i = 0; i < wide.size(); ++i) {
        wide[i] = static_cast<wchar_t>(static_cast<unsigned char>(littleEndianBytes[2 * i]) |
                                       (static_cast<unsigned char>(littleEndianBytes[2 * i + 1]) << 8));
    }
    return WideToGbk(wide);
}

}  // namespace modroute
