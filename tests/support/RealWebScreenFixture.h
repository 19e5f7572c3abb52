#pragma once
// The web screen with the real WebKitGTK view in a real GTK window (run under Xvfb), in the
// test's temporary home: the first start installs the demo web application from the built
// bundle and the screen loads its start page. Only the desktop's URL handlers are a double, so
// no browser starts, and sound goes to no sound card. For the end-to-end tests.

#include "app/AppDelegate.h"
#include "platform/Window.h"
#include "tests/support/FakeApplication.h"
#include "tests/support/FakeURLOpener.h"
#include "tests/support/LogCapture.h"
#include "webcontainer/ViewController.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace testsupport {

class RealWebScreenFixture : public testing::Test {
protected:
    // A bound on waits, not a measure: a loaded machine starting the sandboxed page process
    // (bubblewrap, its D-Bus proxy) has taken more than 20 s for the first page.
    static constexpr std::chrono::seconds kTimeout{45};

    // Starts GTK, launches the application and waits for the start page.
    void SetUp() override;

    // Waits (at most `timeout`) until `count` navigations have finished since the start.
    bool waitForFinishedNavigations(std::size_t count, std::chrono::milliseconds timeout = kTimeout);
    std::size_t finishedNavigations() const;
    // Loads the demo's bridge page as the second navigation and waits until it has finished.
    void showBridgePage();
    // Evaluates `script` in the page on show and returns its result's text.
    std::optional<std::string> evaluate(const std::string& script);
    // Posts `command` to the native side as the page's own script does.
    void post(const std::string& command);
    // Runs the main loop until `condition` holds, at most kTimeout.
    static bool until(const std::function<bool()>& condition);
    // The window on top: an alert, or the main window.
    platform::Window* topWindow() const;
    // The label of the toast on show, or "".
    static std::string toastText();

    LogCapture log;
    std::shared_ptr<FakeApplication> application = std::make_shared<FakeApplication>();
    std::shared_ptr<FakeURLOpener> urlOpener = std::make_shared<FakeURLOpener>();
    AppDelegate delegate;
    std::shared_ptr<ViewController> screen;
};

} // namespace testsupport
