// Font substitution rules over any face names and numbers: face comparison,
// kind choice, size scaling, character sets and face truncation.
//
// Input fields: face text, case-flip positions text, other face text, size
// i32, scale i32, character set u32, byte limit u16, then the configured
// Times New Roman and MingLiU faces (UTF-8 texts).
#include <climits>

#include "FuzzSupport.h"
#include "common/GbkText.h"
#include "common/PathText.h"
#include "patches/FontRules.h"

using namespace modroute;
using fuzzsupport::FieldReader;

namespace {

// The face with the case of some letter bytes changed, trail bytes too:
// those make another character, the others the same name.
std::string FlipSomeLetters(std::string_view face, std::string_view positions) {
    std::string flipped(face);
    const std::string lower = ToLowerAscii(face);
    const std::string upper = ToUpperAscii(face);
    for (const char p : positions) {
        const std::size_t i = static_cast<unsigned char>(p) % (face.size() + 1);
        if (i < face.size()) flipped[i] = flipped[i] == lower[i] ? upper[i] : lower[i];
    }
    return flipped;
}

void CheckComparison(std::string_view a, std::string_view b) {
    const bool equal = GbkEqualsIgnoringAsciiCase(a, b);
    FUZZ_CHECK(equal == GbkEqualsIgnoringAsciiCase(b, a));
    FUZZ_CHECK(equal == (GbkToLowerAscii(a) == GbkToLowerAscii(b)));
    FUZZ_CHECK(GbkEqualsIgnoringAsciiCase(a, a));
}

void CheckKinds(std::string_view face, const FontSettings& settings) {
    const std::optional<FontKind> indirect = IndirectFontKind(face, settings);
    const std::optional<FontKind> direct = TimesNewRomanOnlyKind(face, settings);
    FUZZ_CHECK(!direct || *direct == FontKind::TimesNewRoman);
    if (indirect) FUZZ_CHECK(settings.For(*indirect).IsOn());
    if (indirect == FontKind::MingLiU) FUZZ_CHECK(IsMingLiUFamily(face));
    if (indirect == FontKind::TimesNewRoman || direct) FUZZ_CHECK(IsTimesNewRoman(face));
    // The two families share no name, so both calls agree on Times New Roman.
    FUZZ_CHECK(!(IsTimesNewRoman(face) && IsMingLiUFamily(face)));
    if (IsTimesNewRoman(face)) FUZZ_CHECK(indirect == direct);
}

void CheckScale(std::int32_t value, std::int32_t scale) {
    const std::int32_t scaled = ScaleFontSize(value, scale);
    FUZZ_CHECK(ScaleFontSize(value, 100) == value);
    FUZZ_CHECK(ScaleFontSize(0, scale) == 0);
    // Truncation toward zero: the sign is the product's, the size never grows
    // below 100 %, and larger sizes never scale smaller.
    const std::int64_t product = std::int64_t{value} * scale;
    FUZZ_CHECK((scaled > 0) <= (product > 0) && (scaled < 0) <= (product < 0));
    if (scale >= 0 && scale <= 100) FUZZ_CHECK(std::abs(std::int64_t{scaled}) <= std::abs(std::int64_t{value}));
    if (scale >= 0 && value < INT32_MAX) FUZZ_CHECK(ScaleFontSize(value + 1, scale) >= scaled);
}

void CheckTruncation(std::string_view face, std::size_t maxBytes) {
    const std::string_view kept = GbkTruncate(face, maxBytes);
    FUZZ_CHECK(face.starts_with(kept) && kept.size() <= maxBytes);
    // Ends between characters, and the next character would not fit.
    std::size_t end = 0;
    bool boundary = kept.empty();
    ForEachGbkCharacter(face, [&](std::size_t i, std::size_t length) {
        if (i + length == kept.size()) boundary = true;
        if (i == kept.size()) end = i + length;
    });
    FUZZ_CHECK(boundary);
    FUZZ_CHECK(kept.size() == face.size() || end > maxBytes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FieldReader input(fuzzsupport::AsText(data, size));
    const std::string face = input.Text();
    const std::string flips = input.Text();
    const std::string other = input.Text();
    const auto value = static_cast<std::int32_t>(input.U32());
    const auto scale = static_cast<std::int32_t>(input.U32());
    const std::uint32_t charSet = input.U32();
    const std::size_t maxBytes = input.U16();
    const std::string timesNewRoman = input.Text();
    const std::string mingLiU = input.Text();

    CheckComparison(face, FlipSomeLetters(face, flips));
    CheckComparison(face, other);
    const FontSettings settings =
        FontSettings::FromUtf8(timesNewRoman, scale, mingLiU, scale, fuzzsupport::StandInUtf8ToGbk);
    for (const FontKind kind : {FontKind::TimesNewRoman, FontKind::MingLiU}) {
        const FontSubstitution& substitution = settings.For(kind);
        FUZZ_CHECK(substitution.IsOn() == (!substitution.gbkFace.empty() && substitution.gbkFace != "0"));
        if (!substitution.IsOn()) FUZZ_CHECK(substitution.scale == 100);
    }
    CheckKinds(face, settings);
    CheckKinds(FlipSomeLetters(face, flips), settings);
    CheckScale(value, scale);
    const std::uint32_t substituted = SubstitutedCharSet(charSet);
    FUZZ_CHECK(substituted == charSet || (charSet <= kDefaultCharSet && substituted == kGb2312CharSet));
    CheckTruncation(face, maxBytes);
    CheckTruncation(face, kLogFontFaceBytes);
    return 0;
}
