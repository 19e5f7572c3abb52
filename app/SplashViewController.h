#pragma once
// The splash screen, the window's first screen: the picture "handytyp" seen through the logo
// mask "reedlight_blume", which stands for 1 s, shrinks to 90 × 90 over the next 1.2 s and
// grows to 1500 × 1500 over the last 2.8 s, played by the compositor's frame clock. When the
// animation stops (finished or not) the screen performs the segue "showApp" to the web screen,
// exactly once. While it is on show `Config::isSplashScreenShown` is true; from its appearance
// on `Config::isAppStart` is true for the rest of the run.
//
// A bundle without either image cannot start: loading the view stops the process.
//
// While the logo stands the screen makes the web view of the first page, which the segue
// hands to the web screen: the engine starts during the splash rather than after it.
//
// Main thread only. The window owns the screen; the animation's end holds it weakly.

#include "platform/MaskedImageView.h"
#include "platform/Screen.h"
#include "webcontainer/ViewController.h"

#include <memory>
#include <string>

class SplashViewController : public platform::Screen, public std::enable_shared_from_this<SplashViewController> {
public:
    SplashViewController();

    // Localized texts, looked up once at construction by a key equal to the field's name; the
    // screen shows none of them.
    const std::string SEARCH_UPDATE;
    const std::string DOWNLOAD_UPDATE;
    const std::string UP_TO_DATE;
    const std::string TRY_UPDATE_LATER;
    const std::string NEW_VERSION_AVAILABLE;
    const std::string Q_DOWNLOAD_NEW_VERSION;
    const std::string DOWNLOAD_SIZE;

    // The full-screen picture with the mask; none before the view loads and after the segue.
    std::shared_ptr<platform::MaskedImageView> imageView;

    void viewDidLoad() override;
    void viewDidAppear() override;
    void viewDidDisappear() override;

    // The mask's animation, beginning at `mediaTime` + 1 s.
    static platform::KeyframeAnimation logoAnimation(double mediaTime);
    // The animation's end: removes the mask and the picture, then performs "showApp" (once).
    void animationDidStop(bool finished);

private:
    void addMask();
    void addAnimation();

    void prepareWebView();

    bool seguePerformed_ = false;
    ViewController::PreparedWebView preparedWebView_;
};
