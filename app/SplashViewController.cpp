#include "app/SplashViewController.h"

#include "app/MainStoryboard.h"
#include "base/Config.h"
#include "base/LocalizedTexts.h"
#include "contentserver/ServerCom.h"
#include "logger/Logger.h"
#include "platform/View.h"
#include "portable/Bundle.h"
#include "portable/Check.h"
#include "portable/Dispatch.h"

#include <chrono>
#include <cstdio>
#include <utility>

namespace {

const std::string kPicture = "handytyp";
const std::string kLogo = "reedlight_blume";
const platform::Rect kMaskAtRest{0, 0, 100, 100};
// When the first page's web view is made: after the splash's first frames are on screen, well
// before the animation begins at 1 s (its frames are not held up by it then).
constexpr auto kPrepareWebViewAfter = std::chrono::milliseconds(250);

// Stops the start-up, saying why on standard error as main() does (logging is silent by default).
[[noreturn]] void cannotStart(const std::string& why)
{
    const std::string message = "the bundle's image \"" + why + "; cannot start.";
    std::fprintf(stderr, "webcontainer: %s\n", message.c_str());
    platform::fatalError(message);
}

// The bundle's picture `name`; a bundle without it cannot start.
std::filesystem::path requiredImage(const std::string& name)
{
    const auto path = platform::Bundle::main()->pathForResource(name, "png");
    if (!path)
        cannotStart(name + "\" is missing");
    return *path;
}

} // namespace

SplashViewController::SplashViewController()
    : SEARCH_UPDATE(localizedString("SEARCH_UPDATE"))
    , DOWNLOAD_UPDATE(localizedString("DOWNLOAD_UPDATE"))
    , UP_TO_DATE(localizedString("UP_TO_DATE"))
    , TRY_UPDATE_LATER(localizedString("TRY_UPDATE_LATER"))
    , NEW_VERSION_AVAILABLE(localizedString("NEW_VERSION_AVAILABLE"))
    , Q_DOWNLOAD_NEW_VERSION(localizedString("Q_DOWNLOAD_NEW_VERSION"))
    , DOWNLOAD_SIZE(localizedString("DOWNLOAD_SIZE"))
{
}

platform::KeyframeAnimation SplashViewController::logoAnimation(double mediaTime)
{
    platform::KeyframeAnimation animation;
    animation.keyPath = "bounds";
    animation.duration = 4.0;
    animation.beginTime = mediaTime + 1.0;
    animation.values = {kMaskAtRest, {0, 0, 90, 90}, {0, 0, 1500, 1500}};
    animation.keyTimes = {0, 0.3, 1};
    animation.timingFunctions = {platform::TimingFunction::easeInEaseOut(), platform::TimingFunction::easeOut()};
    return animation;
}

void SplashViewController::viewDidLoad()
{
    const auto picture = requiredImage(kPicture);
    // Both images are checked at start-up, not when the animation is about to begin.
    requiredImage(kLogo);
    imageView = platform::makeMaskedImageView();
    if (!imageView)
        platform::fatalError("no image view on this platform");
    if (!imageView->setImage(picture))
        cannotStart(kPicture + "\" cannot be read");
    view()->addSubview(imageView);
    imageView->pinToSuperviewEdges();
    LOG_DEBUG("SplashViewController:will run update dialog");
    // The launch's first update check; its toasts may appear over the splash screen.
    sharedServerCom().showUpdateDialog(view(), false);
}

void SplashViewController::viewDidAppear()
{
    Config& config = sharedConfig();
    config.isSplashScreenShown = true;
    config.isAppStart = true;
    addMask();
    platform::mainQueue().asyncAfter(kPrepareWebViewAfter, [weak = weak_from_this()] {
        if (auto self = weak.lock())
            self->prepareWebView();
    });
}

void SplashViewController::prepareWebView()
{
    if (!seguePerformed_ && !preparedWebView_.view)
        preparedWebView_ = ViewController::prepareWebView();
}

void SplashViewController::addMask()
{
    if (!imageView->setMask(requiredImage(kLogo), kMaskAtRest))
        cannotStart(kLogo + "\" cannot be read");
    addAnimation();
}

void SplashViewController::addAnimation()
{
    imageView->addMaskAnimation(logoAnimation(platform::currentMediaTime()),
                                [weak = weak_from_this()](bool finished) {
                                    if (auto self = weak.lock())
                                        self->animationDidStop(finished);
                                });
}

void SplashViewController::animationDidStop(bool)
{
    if (seguePerformed_)
        return;
    seguePerformed_ = true;
    if (imageView) {
        imageView->removeMask();
        imageView->removeFromSuperview();
        imageView.reset();
    }
    performSegue("showApp", *this, std::exchange(preparedWebView_, {}));
}

void SplashViewController::viewDidDisappear()
{
    sharedConfig().isSplashScreenShown = false;
}
