#include "patches/FontRules.h"

#include <algorithm>
#include <climits>

#include "common/GbkText.h"
#include "common/PathText.h"

namespace modroute {
namespace {

FontSubstitution SubstitutionFromUtf8(std::string_view utf8Face, std::int32_t scale,
                                      std::string (*utf8ToGbk)(std::string_view)) {
    if (utf8Face.empty() || utf8Face == "0") return {};
    std::string gbkFace = utf8ToGbk(utf8Face);
    if (gbkFace.empty() || gbkFace == "0") return {};
    return FontSubstitution{std::move(gbkFace), scale};
}

}  // namespace

bool GbkEqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    // Both strings agree up to each character start, so a's boundaries are b's.
    bool equal = true;
    ForEachGbkCharacter(a, [&](std::size_t i, std::size_t length) {
        if (!equal) return;
        equal = length == 2 ? a.substr(i, 2) == b.substr(i, 2) : LowerAscii(a[i]) == LowerAscii(b[i]);
    });
    return equal;
}

bool IsTimesNewRoman(std::string_view gbkFace) { return GbkEqualsIgnoringAsciiCase(gbkFace, kTimesNewRomanFace); }

bool IsMingLiUFamily(std::string_view gbkFace) {
    return std::any_of(std::begin(kMingLiUFamilyFaces), std::end(kMingLiUFamilyFaces),
                       [&](std::string_view name) { return GbkEqualsIgnoringAsciiCase(gbkFace, name); });
}

FontSettings::FontSettings(FontSubstitution timesNewRoman, FontSubstitution mingLiU)
    : m_timesNewRoman(std::move(timesNewRoman)), m_mingLiU(std::move(mingLiU)) {}

FontSettings FontSettings::FromUtf8(std::string_view timesNewRoman, std::int32_t timesNewRomanScale,
                                    std::string_view mingLiU, std::int32_t mingLiUScale,
                                    std::string (*utf8ToGbk)(std::string_view)) {
    return FontSettings(SubstitutionFromUtf8(timesNewRoman, timesNewRomanScale, utf8ToGbk),
                        SubstitutionFromUtf8(mingLiU, mingLiUScale, utf8ToGbk));
}

const FontSubstitution& FontSettings::For(FontKind kind) const {
    return kind == FontKind::MingLiU ? m_mingLiU : m_timesNewRoman;
}

std::optional<FontKind> IndirectFontKind(std::string_view gbkFace, const FontSettings& settings) {
    if (settings.For(FontKind::MingLiU).IsOn() && IsMingLiUFamily(gbkFace)) return FontKind::MingLiU;
    return TimesNewRomanOnlyKind(gbkFace, settings);
}

std::optional<FontKind> TimesNewRomanOnlyKind(std::string_view gbkFace, const FontSettings& settings) {
    if (settings.For(FontKind::TimesNewRoman).IsOn() && IsTimesNewRoman(gbkFace)) return FontKind::TimesNewRoman;
    return std::nullopt;
}

std::int32_t ScaleFontSize(std::int32_t value, std::int32_t scale) {
    const std::int64_t scaled = static_cast<std::int64_t>(value) * scale / 100;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(scaled, INT32_MIN, INT32_MAX));
}

std::uint32_t SubstitutedCharSet(std::uint32_t charSet) {
    return charSet == kAnsiCharSet || charSet == kDefaultCharSet ? kGb2312CharSet : charSet;
}

std::string_view GbkTruncate(std::string_view gbk, std::size_t maxBytes) {
    std::size_t kept = 0;
    ForEachGbkCharacter(gbk, [&](std::size_t i, std::size_t length) {
        if (kept == i && i + length <= maxBytes) kept = i + length;
    });
    return gbk.substr(0, kept);
}

}  // namespace modroute
