// The splash screen's masked picture on GTK under the virtual display: the widget's frame clock
// plays the mask's animation frame by frame and reports its end once.

#include "platform/Platform.h"
#include "platform/Window.h"
#include "platform/linux/LinuxMaskedImageView.h"
#include "portable/Bundle.h"
#include "portable/Dispatch.h"

#include <gtk/gtk.h>

#include <gtest/gtest.h>

using platform::Rect;
using namespace std::chrono_literals;

namespace {

constexpr Rect kAtRest{0, 0, 100, 100};

class MaskedImageViewTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(gtk_init_check(nullptr, nullptr)) << "needs a display (xvfb-run)";
        platform::install(platform::makeLinuxPlatform());
        window = platform::current().makeWindow();
        view = std::dynamic_pointer_cast<platform::LinuxMaskedImageView>(platform::makeMaskedImageView());
        ASSERT_TRUE(view);
        window->contentView()->addSubview(view);
        view->pinToSuperviewEdges();
        window->show();
        const auto bundle = platform::Bundle::main();
        ASSERT_TRUE(view->setImage(*bundle->pathForResource("handytyp", "png")));
        ASSERT_TRUE(view->setMask(*bundle->pathForResource("reedlight_blume", "png"), kAtRest));
        ASSERT_TRUE(platform::runMainLoopUntil([&] { return gtk_widget_is_drawable(view->widget()); }));
    }

    // The mask growing linearly from 100 to 300 points over `seconds`, from now on.
    void grow(double seconds)
    {
        platform::KeyframeAnimation animation;
        animation.keyPath = "bounds";
        animation.values = {kAtRest, {0, 0, 300, 300}};
        animation.keyTimes = {0, 1};
        animation.beginTime = platform::currentMediaTime();
        animation.duration = seconds;
        view->addMaskAnimation(animation, [this](bool finished) { stops.push_back(finished); });
    }

    std::shared_ptr<platform::Window> window;
    std::shared_ptr<platform::LinuxMaskedImageView> view;
    // The finished flags of the ends reported, in order.
    std::vector<bool> stops;
};

} // namespace

TEST_F(MaskedImageViewTest, TheFrameClockPlaysTheAnimationAndReportsItsEndOnce)
{
    // As long as the splash's own animation, so a loaded machine still draws frames within it.
    grow(4);
    // A frame between the ends shows the mask grown part of the way.
    EXPECT_TRUE(platform::runMainLoopUntil(
        [&] {
            const auto bounds = view->presentedMaskBounds();
            return bounds && bounds->width > 100 && bounds->width < 300;
        },
        10s));
    ASSERT_TRUE(platform::runMainLoopUntil([&] { return !stops.empty(); }, 20s));
    platform::runMainLoopUntil([] { return false; }, 100ms);
    EXPECT_EQ(stops, std::vector<bool>{true});
    // Drawn while it played (how many frames depends on the machine's load).
    EXPECT_GT(view->animatedFrames(), 0);
    // The mask is back at its model bounds: the animation leaves nothing behind.
    EXPECT_EQ(view->presentedMaskBounds(), kAtRest);

    // Removing the mask cuts an animation short: its end is reported once, not finished.
    grow(60);
    view->removeMask();
    ASSERT_TRUE(platform::runMainLoopUntil([&] { return stops.size() == 2; }, 5s));
    platform::runMainLoopUntil([] { return false; }, 100ms);
    EXPECT_EQ(stops, (std::vector<bool>{true, false}));
    EXPECT_EQ(view->presentedMaskBounds(), std::nullopt);
}
