// What every fuzz target shares: an invariant check that crashes the run (so
// libFuzzer keeps the input), a reader and a writer of the small field format
// that structured targets take, and stand-in encoding converters. The
// stand-ins map bytes deterministically and fail the way a TextConverter may
// fail (an empty result); they check memory safety and invariants, not tables.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "common/Utf8Text.h"

namespace fuzzsupport {

[[noreturn]] inline void Fail(const char* what, const char* file, int line) {
    std::fprintf(stderr, "invariant broken: %s (%s:%d)\n", what, file, line);
    std::fflush(stderr);
    std::abort();
}

#define FUZZ_CHECK(condition) ((condition) ? void() : ::fuzzsupport::Fail(#condition, __FILE__, __LINE__))

inline std::string_view AsText(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// Fields taken off the front of an input: little-endian integers and texts
// with a 16-bit length. Past the end every field reads as zero or empty, so
// any input is a whole record and a mutated length only shortens the text.
class FieldReader {
public:
    explicit FieldReader(std::string_view input) : m_input(input) {}

    std::uint8_t Byte() {
        if (m_at >= m_input.size()) return 0;
        return static_cast<std::uint8_t>(m_input[m_at++]);
    }
    std::uint16_t U16() { return static_cast<std::uint16_t>(Integer(2)); }
    std::uint32_t U32() { return static_cast<std::uint32_t>(Integer(4)); }
    std::uint64_t U64() { return Integer(8); }
    std::string Text() {
        const std::size_t length = U16();
        const std::string_view text = m_input.substr(m_at, length);
        m_at += text.size();
        return std::string(text);
    }
    std::string_view Rest() {
        const std::string_view rest = m_input.substr(m_at);
        m_at = m_input.size();
        return rest;
    }
    bool AtEnd() const { return m_at >= m_input.size(); }

private:
    std::uint64_t Integer(int width) {
        std::uint64_t value = 0;
        for (int i = 0; i < width; ++i) value |= std::uint64_t{Byte()} << (8 * i);
        return value;
    }

    std::string_view m_input;
    std::size_t m_at = 0;
};

// Writes what FieldReader reads; the seed generator's half of the format.
class FieldWriter {
public:
    FieldWriter& Byte(std::uint8_t value) { return Integer(value, 1); }
    FieldWriter& U16(std::uint16_t value) { return Integer(value, 2); }
    FieldWriter& U32(std::uint32_t value) { return Integer(value, 4); }
    FieldWriter& U64(std::uint64_t value) { return Integer(value, 8); }
    FieldWriter& Text(std::string_view text) {
        U16(static_cast<std::uint16_t>(text.size()));
        m_bytes.append(text.substr(0, 0xFFFF));
        return *this;
    }
    FieldWriter& Raw(std::string_view bytes) {
        m_bytes.append(bytes);
        return *this;
    }
    const std::string& Bytes() const { return m_bytes; }

private:
    FieldWriter& Integer(std::uint64_t value, int width) {
        for (int i = 0; i < width; ++i) m_bytes.push_back(static_cast<char>(value >> (8 * i)));
        return *this;
    }

    std::string m_bytes;
};

// Starts and ends with no space or tab (the blanks of the settings files).
inline bool IsTrimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    return text.empty() || (!blank(text.front()) && !blank(text.back()));
}

// The text with every line feed made CR LF: the readers must not care.
inline std::string WithCrLf(std::string_view text) {
    std::string result;
    for (const char c : text) {
        if (c == '\n') result += '\r';
        result += c;
    }
    return result;
}

// The parts of an input between NUL bytes (names and paths hold none).
inline std::vector<std::string_view> SplitAtNul(std::string_view input) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (true) {
        const std::size_t nul = input.find('\0', start);
        parts.push_back(input.substr(start, nul == std::string_view::npos ? std::string_view::npos : nul - start));
        if (nul == std::string_view::npos) return parts;
        start = nul + 1;
    }
}

// The two bytes a stand-in gives a character outside ASCII: a GBK lead byte
// and a trail byte from 0x40..0xFE without 0x7F, so that, as in real GBK,
// trail bytes take the values of '\' and of ASCII letters.
inline void AppendDoubleByte(std::string& out, std::uint32_t value) {
    out += static_cast<char>(0x81 + value % 0x7E);
    std::uint32_t trail = 0x40 + (value / 0x7E) % 0xBE;
    if (trail >= 0x7F) ++trail;
    out += static_cast<char>(trail);
}

// Code page 936 -> UTF-8 stand-in: a lead byte and the byte after it become
// one CJK character (three UTF-8 bytes), any other byte above 0x7F becomes
// U+0080..U+00FF. Fails on a single 0xFF, a byte no GBK text holds.
inline std::string StandInGbkToUtf8(std::string_view gbk) {
    std::string utf8;
    const auto append = [&utf8](std::uint32_t codePoint) {
        if (codePoint < 0x80) {
            utf8 += static_cast<char>(codePoint);
        } else if (codePoint < 0x800) {
            utf8 += static_cast<char>(0xC0 | (codePoint >> 6));
            utf8 += static_cast<char>(0x80 | (codePoint & 0x3F));
        } else {
            utf8 += static_cast<char>(0xE0 | (codePoint >> 12));
            utf8 += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
            utf8 += static_cast<char>(0x80 | (codePoint & 0x3F));
        }
    };
    for (std::size_t i = 0; i < gbk.size(); ++i) {
        const auto byte = static_cast<unsigned char>(gbk[i]);
        if (byte >= 0x81 && byte <= 0xFE && i + 1 < gbk.size()) {
            append(0x4E00 + (byte - 0x81) * 0x100 % 0x5000 + static_cast<unsigned char>(gbk[++i]));
        } else if (byte == 0xFF) {
            return {};
        } else {
            append(byte);
        }
    }
    return utf8;
}

// UTF-8 -> code page 936 stand-in: ASCII stays, every other character becomes
// two GBK bytes. Fails on bytes that are not well-formed UTF-8.
inline std::string StandInUtf8ToGbk(std::string_view utf8) {
    if (!modroute::IsWellFormedUtf8(utf8)) return {};
    std::string gbk;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        if (lead < 0x80) {
            gbk += utf8[i++];
            continue;
        }
        const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        std::uint32_t codePoint = lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) codePoint = (codePoint << 6) | (utf8[i + k] & 0x3F);
        AppendDoubleByte(gbk, codePoint);
        i += length;
    }
    return gbk;
}

// UTF-16 little-endian -> code page 936 stand-in. Its callers must hand over
// whole byte pairs. Fails on the unit FFFF, which is no character.
inline std::string StandInUtf16LeToGbk(std::string_view units) {
    FUZZ_CHECK(units.size() % 2 == 0);
    std::string gbk;
    for (std::size_t i = 0; i < units.size(); i += 2) {
        const std::uint32_t unit =
            static_cast<unsigned char>(units[i]) | static_cast<std::uint32_t>(static_cast<unsigned char>(units[i + 1])) << 8;
        if (unit == 0xFFFF) return {};
        if (unit < 0x80) {
            gbk += static_cast<char>(unit);
        } else {
            AppendDoubleByte(gbk, unit);
        }
    }
    return gbk;
}

}  // namespace fuzzsupport
