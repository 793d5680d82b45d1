// The rules of the font substitution: which requested faces are replaced,
// by which configured face, at what size and character set. Face names are
// GBK (code page 936) bytes, as the game passes them; they compare whole and
// ignoring ASCII case. Pure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace modroute {

enum class FontKind { TimesNewRoman, MingLiU };

inline constexpr std::string_view kTimesNewRomanFace = "Times New Roman";
// 细明体, MingLiU, MingLiU_HKSCS, 細明體 -- the Chinese names as GBK bytes.
inline constexpr std::string_view kMingLiUFamilyFaces[] = {
    "\xCF\xB8\xC3\xF7\xCC\xE5", "MingLiU", "MingLiU_HKSCS", "\xBC\x9A\xC3\xF7\xF3\x77"};
// Tried in this order when the configured face is not installed.
inline constexpr std::string_view kFallbackFaces[] = {"SimHei", "Microsoft YaHei", "SimSun", "Tahoma", "Arial"};
// Handed out while a face is being resolved, so a font call made meanwhile
// (font enumeration creates fonts) neither waits nor resolves again.
inline constexpr std::string_view kBusyFace = "SimHei";

inline constexpr std::uint32_t kAnsiCharSet = 0;
inline constexpr std::uint32_t kDefaultCharSet = 1;
inline constexpr std::uint32_t kGb2312CharSet = 134;
// LOGFONT face names hold 31 bytes and a terminator.
inline constexpr std::size_t kLogFontFaceBytes = 31;

// Equal as whole strings when single-byte A-Z and a-z are taken as the same;
// the trail byte of a double-byte character must match exactly.
bool GbkEqualsIgnoringAsciiCase(std::string_view a, std::string_view b);
bool IsTimesNewRoman(std::string_view gbkFace);
bool IsMingLiUFamily(std::string_view gbkFace);

// One kind's configured replacement; an empty face means the kind is off.
struct FontSubstitution {
    std::string gbkFace;
    std::int32_t scale = 100;  // percent
    bool IsOn() const { return !gbkFace.empty(); }
};

// The configured faces and scales as one value that never changes once built,
// so a font call can read it while new settings are being published.
class FontSettings {
public:
    FontSettings() = default;  // both kinds off
    FontSettings(FontSubstitution timesNewRoman, FontSubstitution mingLiU);

    // From the UTF-8 settings: a face that is empty or "0", before or after
    // its conversion to GBK, switches its kind off (and leaves the scale 100).
    static FontSettings FromUtf8(std::string_view timesNewRoman, std::int32_t timesNewRomanScale,
                                 std::string_view mingLiU, std::int32_t mingLiUScale,
                                 std::string (*utf8ToGbk)(std::string_view));

    const FontSubstitution& For(FontKind kind) const;

private:
    FontSubstitution m_timesNewRoman;
    FontSubstitution m_mingLiU;
};

// CreateFontIndirectA/W: the MingLiU family when MingLiU is on, otherwise
// Times New Roman when that is on; nothing means pass the call through.
std::optional<FontKind> IndirectFontKind(std::string_view gbkFace, const FontSettings& settings);
// CreateFontA, D3DXCreateFontA/W: Times New Roman only.
std::optional<FontKind> TimesNewRomanOnlyKind(std::string_view gbkFace, const FontSettings& settings);

// value * scale / 100, truncated toward zero and kept within 32 bits: -16 at
// 120 gives -19, 20 at 150 gives 30. A zero width (font default) stays zero.
std::int32_t ScaleFontSize(std::int32_t value, std::int32_t scale);

// ANSI and DEFAULT become GB2312 so Chinese text renders; any explicit other
// set (136, traditional Chinese, say) is the game's choice and stays.
std::uint32_t SubstitutedCharSet(std::uint32_t charSet);

// The longest prefix of at most maxBytes that does not cut a double-byte
// character in half (a face name truncated for a LOGFONT).
std::string_view GbkTruncate(std::string_view gbk, std::size_t maxBytes);

}  // namespace modroute
