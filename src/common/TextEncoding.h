// Conversions between the game's code page 936 (GBK), the system's ANSI code
// page, UTF-8 and UTF-16. UTF-8 is the system's own encoding; the others are
// spoken only at the platform edge. A failed conversion gives an empty string.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace modroute {

constexpr unsigned kGameCodePage = 936;

// Code page 936 -> UTF-8; bytes that are not GBK become U+FFFD.
std::string GbkToUtf8(std::string_view gbk);
// The same, but nothing when the bytes are not valid GBK.
std::optional<std::string> GbkToUtf8Exact(std::string_view gbk);
// UTF-8 -> code page 936; characters GBK lacks become '?'.
std::string Utf8ToGbk(std::string_view utf8);
// The same, but nothing when the text is not valid UTF-8 or holds a character
// GBK cannot represent: what the game's "A" functions can open losslessly.
std::optional<std::string> Utf8ToGbkExact(std::string_view utf8);

std::wstring Utf8ToWide(std::string_view utf8);
std::string WideToUtf8(std::wstring_view wide);
std::string WideToGbk(std::wstring_view wide);
// Little-endian UTF-16 given as bytes (two per unit; an odd last byte is
// ignored) -> code page 936, whatever the system's ANSI code page is.
std::string Utf16LeBytesToGbk(std::string_view littleEndianBytes);

}  // namespace modroute
