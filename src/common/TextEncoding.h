// Conversions between the game's ANSI code page 936 (GBK), UTF-8 and UTF-16.
// A failed conversion gives an empty string; nothing here reports an error.
#pragma once

#include <string>
#include <string_view>

namespace modroute {

constexpr unsigned kGameCodePage = 936;

std::string AnsiToUtf8(std::string_view ansi);   // code page 936 -> UTF-8
std::string Utf8ToAnsi(std::string_view utf8);   // UTF-8 -> code page 936
// The same, but empty when the bytes are not valid UTF-8 (instead of '?').
std::string Utf8ToAnsiStrict(std::string_view utf8);
std::wstring Utf8ToWide(std::string_view utf8);
std::wstring AnsiToWide(std::string_view ansi);  // code page 936 -> UTF-16
std::string WideToUtf8(std::wstring_view wide);
// UTF-16 -> the system ANSI code page; a terminator the conversion produced is dropped.
std::string WideToAnsi(std::wstring_view wide);

}  // namespace modroute
