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

std::string FromWide(unsigned codePage, std::wstring_view wide) {
    if (wide.empty()) return {};
    const int size = static_cast<int>(wide.size());
    const int length = WideCharToMultiByte(codePage, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return {};
    std::string text(static_cast<std::size_t>(length), '\0');
    if (WideCharToMultiByte(codePage, 0, wide.data(), size, text.data(), length, nullptr, nullptr) != length) {
        return {};
    }
    return text;
}

}  // namespace

std::string AnsiToUtf8(std::string_view ansi) {
    const std::wstring wide = ToWide(kGameCodePage, ansi);
    return FromWide(CP_UTF8, wide);
}

std::string Utf8ToAnsi(std::string_view utf8) {
    const std::wstring wide = ToWide(CP_UTF8, utf8);
    return FromWide(kGameCodePage, wide);
}

std::string Utf8ToAnsiStrict(std::string_view utf8) {
    const std::wstring wide = ToWide(CP_UTF8, utf8, MB_ERR_INVALID_CHARS);
    return FromWide(kGameCodePage, wide);
}

std::wstring Utf8ToWide(std::string_view utf8) { return ToWide(CP_UTF8, utf8); }

std::wstring AnsiToWide(std::string_view ansi) { return ToWide(kGameCodePage, ansi); }

std::string WideToUtf8(std::wstring_view wide) { return FromWide(CP_UTF8, wide); }

std::string WideToAnsi(std::wstring_view wide) {
    std::string ansi = FromWide(CP_ACP, wide);
    while (!ansi.empty() && ansi.back() == '\0') ansi.pop_back();
    return ansi;
}

}  // namespace modroute
