// The splash screen: its key-frame animation, the one segue to the web screen, the flags it
// sets, and the images a bundle must hold.
#include "app/AppDelegate.h"
#include "app/SplashViewController.h"
#include "base/Config.h"
#include "base/LocalizedTexts.h"
#include "portable/Bundle.h"
#include "portable/Dispatch.h"
#include "tests/support/FakePlatform.h"
#include "tests/support/TestEnvironment.h"
#include "webcontainer/ViewController.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using platform::Rect;
using platform::TimingFunction;

TEST(KeyframeAnimation, TimingCurvesMapTheEndsAndBendTheMiddle)
{
    struct Case {
        TimingFunction curve;
        double t;
        double low;
        double high;
    };
    const Case cases[] = {
        {TimingFunction::linear(), 0.25, 0.25, 0.25},
        {TimingFunction::easeInEaseOut(), 0, 0, 0},
        {TimingFunction::easeInEaseOut(), 1, 1, 1},
        {TimingFunction::easeInEaseOut(), 0.5, 0.5, 0.5},
        {TimingFunction::easeInEaseOut(), 0.25, 0.10, 0.14},
        {TimingFunction::easeOut(), 0.25, 0.36, 0.40},
        {TimingFunction::easeOut(), 0.5, 0.66, 0.70},
        {TimingFunction::easeOut(), -1, 0, 0},
        {TimingFunction::easeOut(), 2, 1, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.t);
        const double value = c.curve.valueAt(c.t);
        EXPECT_GE(value, c.low - 1e-6);
        EXPECT_LE(value, c.high + 1e-6);
    }
}

TEST(KeyframeAnimation, TheLogoHoldsShrinksAndGrowsOverFiveSeconds)
{
    const auto animation = SplashViewController::logoAnimation(100);
    EXPECT_EQ(animation.keyPath, "bounds");
    // Seconds after the screen appeared, and the mask's side then (nothing: the model's 100).
    const std::pair<double, std::optional<double>> frames[] = {
        {0, std::nullopt}, {0.99, std::nullopt}, {1, 100}, {1.6, 95}, {2.2, 90}, {5, std::nullopt}, {7, std::nullopt},
    };
    for (const auto& [second, side] : frames) {
        SCOPED_TRACE(second);
        const auto value = animation.valueAt(100 + second);
        ASSERT_EQ(value.has_value(), side.has_value());
        if (side) {
            EXPECT_NEAR(value->width, *side, 1e-3);
            EXPECT_EQ(value->width, value->height);
            EXPECT_EQ(value->x, 0);
        }
    }
    // The growth eases out: past the linear share early on, and rising to the full size.
    const double early = animation.valueAt(100 + 2.2 + 0.7)->width;
    EXPECT_GT(early, 90 + (1500 - 90) * 0.25);
    double previous = 90;
    for (int tenth = 1; tenth <= 27; ++tenth) {
        const double side = animation.valueAt(100 + 2.2 + tenth / 10.0)->width;
        EXPECT_GT(side, previous);
        previous = side;
    }
    EXPECT_GT(previous, 1490);
}

namespace {

class SplashScreen : public testing::Test {
protected:
    void launch()
    {
        fakes.application->run(0, nullptr, delegate);
        fakes.application->launch(std::make_shared<testsupport::FakeWindow>(), {});
    }

    testsupport::FakePlatform fakes;
    AppDelegate delegate;
};

} // namespace

TEST_F(SplashScreen, TheAnimationsEndPerformsTheSegueExactlyOnce)
{
    const double before = platform::currentMediaTime();
    launch();
    auto splash = std::dynamic_pointer_cast<SplashViewController>(delegate.window->rootScreen());
    ASSERT_TRUE(splash);
    Config& config = sharedConfig();
    EXPECT_TRUE(config.isSplashScreenShown);
    EXPECT_TRUE(config.isAppStart);

    ASSERT_EQ(fakes.maskedImageViews.size(), 1u);
    auto& view = *fakes.maskedImageViews[0];
    EXPECT_EQ(view.image, platform::Bundle::main()->pathForResource("handytyp", "png"));
    EXPECT_EQ(view.mask, platform::Bundle::main()->pathForResource("reedlight_blume", "png"));
    EXPECT_EQ(view.maskBounds, (Rect{0, 0, 100, 100}));
    ASSERT_TRUE(view.animation);
    EXPECT_GE(view.animation->beginTime, before + 1.0);
    EXPECT_LE(view.animation->beginTime, platform::currentMediaTime() + 1.0);
    EXPECT_EQ(view.animation->duration, 4.0);
    EXPECT_EQ(view.superview(), delegate.window->contentView().get());

    // An animation cut short counts as its end too; a second report changes nothing.
    view.stop(false);
    const auto webScreen = delegate.window->rootScreen();
    EXPECT_NE(dynamic_cast<ViewController*>(webScreen.get()), nullptr);
    EXPECT_EQ(view.superview(), nullptr);
    EXPECT_FALSE(view.mask);
    splash->animationDidStop(true);
    EXPECT_EQ(delegate.window->rootScreen(), webScreen);
    EXPECT_FALSE(config.isSplashScreenShown);
    EXPECT_TRUE(config.isAppStart);
    // The web screen appeared and loads its start page.
    platform::drainMainQueue();
    EXPECT_EQ(fakes.webViews.size(), 1u);
}

TEST_F(SplashScreen, ABundleWithoutEitherImageCannotStart)
{
    for (const std::string missing : {"handytyp.png", "reedlight_blume.png"}) {
        SCOPED_TRACE(missing);
        EXPECT_DEATH(
            {
                const fs::path bundle = testsupport::makeTemporaryFolder("bundle");
                fs::copy(WEBCONTAINER_TEST_BUNDLE_DIR, bundle, fs::copy_options::recursive);
                fs::remove(bundle / missing);
                platform::Bundle::setMainForTesting(bundle);
                launch();
            },
            "is missing; cannot start");
    }
}

TEST_F(SplashScreen, TheFirstUpdateCheckStartsWhileTheSplashIsOnShow)
{
    // Offline, the check fails at once: its toast and error alert come up over the splash.
    launch();
    platform::drainMainQueue();
    ASSERT_NE(std::dynamic_pointer_cast<SplashViewController>(delegate.window->rootScreen()), nullptr);
    ASSERT_EQ(fakes.toast->shown.size(), 1u);
    EXPECT_EQ(fakes.toast->shown[0].text, localizedString("UPDATE_TRY_AGAIN_LATER"));
    const auto* alert = dynamic_cast<testsupport::FakeWindow&>(*delegate.window).topAlert();
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->alert()->message, localizedString("UPDATE_TRY_AGAIN_LATER"));
}

// The first page's web view is made while the logo stands, with no page in it, and the web
// screen loads its start page into that one rather than making another.
TEST_F(SplashScreen, TheWebScreenTakesTheWebViewMadeWhileTheSplashStood)
{
    launch();
    ASSERT_TRUE(platform::runMainLoopUntil([&] { return !fakes.webViews.empty(); }));
    const auto prepared = fakes.webViews[0];
    EXPECT_EQ(prepared->configuration(), ViewController::webViewConfiguration());
    EXPECT_TRUE(prepared->loads().empty());
    ASSERT_NE(std::dynamic_pointer_cast<SplashViewController>(delegate.window->rootScreen()), nullptr);

    fakes.maskedImageViews.at(0)->stop(true);
    platform::drainMainQueue();
    EXPECT_EQ(fakes.webViews.size(), 1u);
    auto screen = std::dynamic_pointer_cast<ViewController>(delegate.window->rootScreen());
    ASSERT_TRUE(screen);
    EXPECT_EQ(screen->webView, prepared);
    ASSERT_EQ(prepared->loads().size(), 1u);
    EXPECT_EQ(prepared->loads()[0].file, sharedConfig().WEBROOT + "/index.html");
}
