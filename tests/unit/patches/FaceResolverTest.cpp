#include <gtest/gtest.h>

#include <set>
#include <stdexcept>

#include "patches/FaceResolver.h"

using namespace modroute;

namespace {

FontSettings Configured(const char* timesNewRoman, const char* mingLiU) {
    return FontSettings(FontSubstitution{timesNewRoman, 120}, FontSubstitution{mingLiU, 150});
}

std::string FaceOf(const std::optional<ResolvedFace>& resolved) {
    return resolved ? std::string(resolved->gbkFace) + " " + std::to_string(resolved->scale) : "<none>";
}

}  // namespace

// Each kind is checked once, at its own scale; a kind that is off is never
// checked; a refresh resolves again and leaves faces handed out readable; a
// missing face falls back in order.
TEST(FaceResolver, InstalledFaceIsResolvedOncePerKindAndAgainAfterARefresh) {
    std::set<std::string> installed = {"Tahoma", "SimSun", "Arial"};
    int checks = 0;
    FaceResolver resolver([&](std::string_view face) { return ++checks, installed.count(std::string(face)) > 0; });
    resolver.Refresh(Configured("Tahoma", ""));
    EXPECT_FALSE(resolver.Resolve(FontKind::MingLiU));
    EXPECT_EQ(checks, 0);
    resolver.Refresh(Configured("Tahoma", "SimSun"));
    const auto before = resolver.Resolve(FontKind::TimesNewRoman);
    EXPECT_EQ(FaceOf(resolver.Resolve(FontKind::TimesNewRoman)), "Tahoma 120");
    EXPECT_EQ(FaceOf(resolver.Resolve(FontKind::MingLiU)), "SimSun 150");
    EXPECT_EQ(checks, 2);
    resolver.Refresh(Configured("Missing", ""));
    EXPECT_EQ(FaceOf(resolver.Resolve(FontKind::TimesNewRoman)), "SimSun 120");  // before Tahoma and Arial
    EXPECT_EQ(FaceOf(before), "Tahoma 120");  // still the whole, unchanged text
    installed = {"SimHei", "Microsoft YaHei"};
    resolver.Refresh(Configured("Missing", ""));
    EXPECT_EQ(FaceOf(resolver.Resolve(FontKind::TimesNewRoman)), "SimHei 120");
    const int checksOfFirstCall = checks;
    EXPECT_EQ(FaceOf(resolver.Resolve(FontKind::TimesNewRoman)), "SimHei 120");
    EXPECT_EQ(checks, checksOfFirstCall);  // a fallback is resolved once too
}

// A call made during a resolution (enumerating fonts creates fonts, which
// come back here) gets the busy face.
TEST(FaceResolver, CallDuringTheResolutionGetsTheBusyFaceAndAThrowingCheckFreesTheKind) {
    std::optional<ResolvedFace> reentered, otherKind;
    FaceResolver* self = nullptr;
    FaceResolver resolver([&](std::string_view face) {
        if (face == "Tahoma" && !reentered) {
            reentered = self->Resolve(FontKind::TimesNewRoman);
            otherKind = self->Resolve(FontKind::MingLiU);  // each kind has its own busy flag
        }
        return true;
    });
    self = &resolver;
    resolver.Refresh(Configured("Tahoma", "SimSun"));
    EXPECT_EQ(FaceOf(resolver.Resolve(FontKind::TimesNewRoman)), "Tahoma 120");
    EXPECT_EQ(FaceOf(reentered), "SimHei 120");
    EXPECT_EQ(FaceOf(otherKind), "SimSun 150");

    FaceResolver throwing([](std::string_view) -> bool { throw std::runtime_error("no device context"); });
    throwing.Refresh(Configured("Tahoma", ""));
    EXPECT_FALSE(throwing.Resolve(FontKind::TimesNewRoman));
    EXPECT_FALSE(throwing.Resolve(FontKind::TimesNewRoman));  // not stuck on the busy face
}
