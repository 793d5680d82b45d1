#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "patches/FontRules.h"

using namespace modroute;

namespace {

// GBK bytes of the names the game asks for.
const std::string kXiMingTi = "\xCF\xB8\xC3\xF7\xCC\xE5";      // 细明体
const std::string kXiMingTiTrad = "\xBC\x9A\xC3\xF7\xF3\x77";  // 細明體: its last trail byte is 'w'
const std::string kHeiTi = "\xBA\xDA\xCC\xE5";                 // 黑体

// The settings arrive in UTF-8; the game's faces are GBK.
std::string TestUtf8ToGbk(std::string_view utf8) {
    if (utf8 == "\xE9\xBB\x91\xE4\xBD\x93") return kHeiTi;  // 黑体
    if (utf8 == "unconvertible") return "";
    if (utf8 == "\xEF\xBC\x90") return "0";  // a full-width zero the code page maps to '0'
    return std::string(utf8);
}

FontSettings Settings(const char* timesNewRoman, const char* mingLiU) {
    return FontSettings::FromUtf8(timesNewRoman, 120, mingLiU, 150, TestUtf8ToGbk);
}

}  // namespace

// The variations of these rules are fuzzed; the tables hold the names the game
// uses and the boundaries.
TEST(FontRules, NamesCompareWholeIgnoringAsciiCaseButNeverTrailBytes) {
    EXPECT_TRUE(IsTimesNewRoman("TIMES new roman"));
    EXPECT_FALSE(IsTimesNewRoman("Times New Roman "));
    const std::pair<std::string, bool> mingLiU[] = {
        {"MINGLIU_hkscs", true}, {kXiMingTi, true}, {kXiMingTiTrad, true}, {"MingLiU_HKSCS-ExtB", false},
        {"\xBC\x9A\xC3\xF7\xF3\x57", false},  // 細明 + a different character whose trail byte is 'W'
    };
    for (const auto& [name, expected] : mingLiU) EXPECT_EQ(IsMingLiUFamily(name), expected) << name;

    EXPECT_FALSE(GbkEqualsIgnoringAsciiCase("\x81\x5A", "\x81\x7A"));  // trail 'Z' and 'z' are other characters
    EXPECT_TRUE(GbkEqualsIgnoringAsciiCase("Ab\x81\x5A" "C", "aB\x81\x5A" "c"));
    EXPECT_TRUE(GbkEqualsIgnoringAsciiCase("A\x81", "a\x81"));  // a lead byte cut off at the end
}

TEST(FontRules, KindChoiceFollowsTheNameAndWhatIsConfigured) {
    const auto kTnr = FontKind::TimesNewRoman, kMing = FontKind::MingLiU;
    const std::optional<FontKind> none;
    // faces configured, requested face, kind for an indirect request, kind for a Times New Roman only one
    const std::tuple<const char*, const char*, std::string, std::optional<FontKind>, std::optional<FontKind>> cases[] = {
        {"Tahoma", "SimSun", kXiMingTi, kMing, none},
        {"Tahoma", "SimSun", "times new roman", kTnr, kTnr},
        {"Tahoma", "", "MingLiU", none, none},  // MingLiU off: not taken for TNR either
        {"0", "SimSun", "Times New Roman", none, none},
        {"Tahoma", "SimSun", "Arial", none, none},
    };
    for (const auto& [tnr, mingLiU, face, indirect, tnrOnly] : cases) {
        EXPECT_EQ(IndirectFontKind(face, Settings(tnr, mingLiU)), indirect) << tnr << "/" << mingLiU << " " << face;
        EXPECT_EQ(TimesNewRomanOnlyKind(face, Settings(tnr, mingLiU)), tnrOnly) << tnr << "/" << mingLiU << " " << face;
    }
}

// The other kind keeps its own face; a kind that is off has scale 100.
TEST(FontRules, SettingsFromUtf8SwitchKindsOffForEmptyOrZero) {
    const std::pair<const char*, std::string> cases[] = {
        {"\xE9\xBB\x91\xE4\xBD\x93", kHeiTi}, {"0", ""}, {"unconvertible", ""},
        {"\xEF\xBC\x90", ""},  // "0" only after the conversion
        {"00", "00"},
    };
    for (const auto& [utf8Face, gbkFace] : cases) {
        for (const bool tnr : {true, false}) {
            const FontSettings settings = Settings(tnr ? utf8Face : "Arial", tnr ? "SimSun" : utf8Face);
            const FontSubstitution& substitution = settings.For(tnr ? FontKind::TimesNewRoman : FontKind::MingLiU);
            EXPECT_EQ(substitution.gbkFace, gbkFace) << utf8Face;
            EXPECT_EQ(substitution.IsOn(), !gbkFace.empty()) << utf8Face;
            EXPECT_EQ(substitution.scale, gbkFace.empty() ? 100 : (tnr ? 120 : 150)) << utf8Face;
            EXPECT_EQ(settings.For(tnr ? FontKind::MingLiU : FontKind::TimesNewRoman).gbkFace, tnr ? "SimSun" : "Arial");
        }
    }
    EXPECT_FALSE(FontSettings().For(FontKind::MingLiU).IsOn());
}

// Sizes scale truncated toward zero within 32 bits; only the ANSI and default
// character sets become GB2312; truncated faces keep whole characters.
TEST(FontRules, SizesCharacterSetsAndTruncatedFaces) {
    const std::tuple<std::int32_t, std::int32_t, std::int32_t> sizes[] = {
        {-16, 120, -19}, {-15, 50, -7}, {INT32_MAX, 200, INT32_MAX}, {INT32_MIN, 200, INT32_MIN},
    };
    for (const auto& [value, scale, expected] : sizes) EXPECT_EQ(ScaleFontSize(value, scale), expected) << value << " at " << scale;
    const std::pair<std::uint32_t, std::uint32_t> charSets[] = {{0, 134}, {1, 134}, {136, 136}, {2, 2}, {255, 255}};
    for (const auto& [charSet, expected] : charSets) EXPECT_EQ(SubstitutedCharSet(charSet), expected) << charSet;
    const std::tuple<std::string, std::size_t, std::string> faces[] = {
        {std::string(31, 'a') + "b", 31, std::string(31, 'a')},
        {std::string(30, 'a') + kHeiTi, 31, std::string(30, 'a')},  // 黑 would straddle the limit
        {std::string(29, 'a') + kHeiTi, 31, std::string(29, 'a') + "\xBA\xDA"},
    };
    for (const auto& [text, limit, expected] : faces) EXPECT_EQ(GbkTruncate(text, limit), expected) << text;
}
