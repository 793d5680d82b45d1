#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>

#include "patches/FaceResolver.h"

using namespace modroute;

namespace {

// Installed faces of a pretend system, with a count of the checks made.
struct FontTable {
    std::set<std::string> installed;
    std::atomic<int> checks{0};

    FaceResolver::FaceInstalled Test() {
        return [this](std::string_view face) {
            ++checks;
            return installed.count(std::string(face)) > 0;
        };
    }
};

FontSettings Configured(const char* timesNewRoman, const char* mingLiU) {
    return FontSettings(FontSubstitution{timesNewRoman, 120}, FontSubstitution{mingLiU, 150});
}

std::string FaceOf(const std::optional<ResolvedFace>& resolved) {
    return resolved ? std::string(resolved->gbkFace) : "<none>";
}

}  // namespace

// Each kind is checked once, at its own scale; a kind that is off is never
// checked; a refresh resolves again and leaves faces handed out readable.
TEST(FaceResolver, InstalledFaceIsResolvedOncePerKindAndAgainAfterARefresh) {
    FontTable fonts{{"Tahoma", "SimSun", "Arial"}};
    FaceResolver resolver(fonts.Test());
    EXPECT_FALSE(resolver.Resolve(FontKind::TimesNewRoman));  // nothing configured yet
    resolver.Refresh(Configured("Tahoma", ""));
    EXPECT_FALSE(resolver.Resolve(FontKind::MingLiU));
    EXPECT_EQ(fonts.checks, 0);
    resolver.Refresh(Configured("Tahoma", "SimSun"));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(FaceOf(resolver.Resolve(FontKind::TimesNewRoman)), "Tahoma");
    const auto before = resolver.Resolve(FontKind::TimesNewRoman);
    ASSERT_TRUE(before);
    EXPECT_EQ(before->scale, 120);
    const auto mingLiU = resolver.Resolve(FontKind::MingLiU);
    ASSERT_TRUE(mingLiU);
    EXPECT_EQ(mingLiU->gbkFace, "SimSun");
    EXPECT_EQ(mingLiU->scale, 150);
    EXPECT_EQ(fonts.checks, 2);
    resolver.Refresh(Configured("Arial", ""));
    EXPECT_EQ(FaceOf(resolver.Resolve(FontKind::TimesNewRoman)), "Arial");
    EXPECT_EQ(before->gbkFace, "Tahoma");  // still the whole, unchanged text
    resolver.Refresh(Configured("", ""));
    EXPECT_FALSE(resolver.Resolve(FontKind::TimesNewRoman));
    EXPECT_EQ(fonts.checks, 3);
}

TEST(FaceResolver, MissingFaceFallsBackInOrderOnce) {
    const std::pair<std::set<std::string>, std::string> cases[] = {
        {{"SimHei", "Arial"}, "SimHei"},
        {{"Arial", "SimSun", "Microsoft YaHei"}, "Microsoft YaHei"},
        {{"Arial", "SimSun", "Tahoma"}, "SimSun"},
        {{"Arial", "Courier"}, "Arial"},
        {{"Courier"}, "<none>"},
    };
    for (const auto& [installed, expected] : cases) {
        FontTable fonts{installed};
        FaceResolver resolver(fonts.Test());
        resolver.Refresh(Configured("Missing Face", ""));
        EXPECT_EQ(FaceOf(resolver.Resolve(FontKind::TimesNewRoman)), expected);
        const int checksOfFirstCall = fonts.checks;
        EXPECT_EQ(FaceOf(resolver.Resolve(FontKind::TimesNewRoman)), expected);
        EXPECT_EQ(fonts.checks, checksOfFirstCall) << expected << ": checked again";
    }
}

// A call made during a resolution, on the same thread (enumerating fonts
// creates fonts, which come back here) or another, gets the busy face.
TEST(FaceResolver, CallDuringTheResolutionGetsTheBusyFaceAndAThrowingCheckFreesTheKind) {
    FontTable fonts{{"Tahoma", "SimSun"}};
    std::optional<ResolvedFace> reentered, otherKind;
    FaceResolver* self = nullptr;
    FaceResolver resolver([&](std::string_view face) {
        if (face == "Tahoma" && !reentered) {
            reentered = self->Resolve(FontKind::TimesNewRoman);
            otherKind = self->Resolve(FontKind::MingLiU);  // each kind has its own busy flag
        }
        return fonts.Test()(face);
    });
    self = &resolver;
    resolver.Refresh(Configured("Tahoma", "SimSun"));
    EXPECT_EQ(FaceOf(resolver.Resolve(FontKind::TimesNewRoman)), "Tahoma");
    ASSERT_TRUE(reentered);
    EXPECT_EQ(reentered->gbkFace, "SimHei");
    EXPECT_EQ(reentered->scale, 120);
    EXPECT_EQ(FaceOf(otherKind), "SimSun");
    EXPECT_EQ(FaceOf(resolver.Resolve(FontKind::TimesNewRoman)), "Tahoma");  // busy flag cleared

    std::promise<void> checking, release;
    std::shared_future<void> released = release.get_future().share();
    FaceResolver blocking([&](std::string_view) {
        checking.set_value();
        released.wait_for(std::chrono::seconds(10));  // bounded, so a fault fails the test instead of hanging it
        return true;
    });
    blocking.Refresh(Configured("Tahoma", ""));
    std::optional<ResolvedFace> first;
    std::thread resolving([&] { first = blocking.Resolve(FontKind::TimesNewRoman); });
    EXPECT_EQ(checking.get_future().wait_for(std::chrono::seconds(10)), std::future_status::ready);
    const auto meanwhile = blocking.Resolve(FontKind::TimesNewRoman);
    release.set_value();
    resolving.join();
    EXPECT_EQ(FaceOf(meanwhile), "SimHei");
    EXPECT_EQ(FaceOf(first), "Tahoma");
    EXPECT_EQ(FaceOf(blocking.Resolve(FontKind::TimesNewRoman)), "Tahoma");

    FaceResolver throwing([](std::string_view) -> bool { throw std::runtime_error("no device context"); });
    throwing.Refresh(Configured("Tahoma", ""));
    EXPECT_FALSE(throwing.Resolve(FontKind::TimesNewRoman));
    EXPECT_FALSE(throwing.Resolve(FontKind::TimesNewRoman));  // not stuck on the busy face
}
