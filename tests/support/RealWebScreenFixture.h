#pragma once
// The web screen with the real WebKitGTK view in a real GTK window (run under Xvfb), in the
// test's temporary home: the first start installs the demo web application from the built
// bundle and the screen loads its start page. Only the desktop's URL handlers are a double, so
// no browser starts, and sound goes to no sound card. For the end-to-end tests.

#include "app/AppDelegate.h"
#include "platform/Window.h"
#include "tests/support/FakeApplication.h"
#include "tests/support/FakeURLOpener.h"
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

    // The page the test starts on: the start page, or the bridge page opened by the start
    // page's link (the second navigation).
    enum class StartPage { index, bridge };
    explicit RealWebScreenFixture(StartPage startPage = StartPage::index) : startPage_(startPage) {}

    // Starts GTK, launches the application, waits for the start page (and the bridge page when
    // asked for), then runs SetUpPage(). A fixture that must act before the start overrides
    // this and calls it.
    void SetUp() override;
    // What a fixture adds once its page is on show.
    virtual void SetUpPage() {}

    // Waits (at most `timeout`) until the screen's web views have finished `count` navigations
    // since the start.
    bool waitForFinishedNavigations(std::size_t count, std::chrono::milliseconds timeout = kTimeout);
    // Evaluates `script` in the page on show and returns its result's text.
    std::optional<std::string> evaluate(const std::string& script);
    // Posts `command` to the native side as the page's own script does.
    void post(const std::string& command);
    // Defines the page function `name`, which keeps its argument ("no argument" when called
    // without), posts `command` and waits for the answer; "" when none comes. `meanwhile` runs
    // once `ready` holds, while the command waits.
    std::string ask(const std::string& name, const std::string& command, const std::function<bool()>& ready = {},
                    const std::function<void()>& meanwhile = {});
    // The text of the demo page's log of what it sent and the answers it got.
    std::string pageLog();
    // Runs the main loop until `condition` holds, at most kTimeout.
    static bool until(const std::function<bool()>& condition);
    // The window on top: an alert, or the main window.
    platform::Window* topWindow() const;
    // The label of the toast on show, or "".
    static std::string toastText();

    std::shared_ptr<FakeApplication> application = std::make_shared<FakeApplication>();
    std::shared_ptr<FakeURLOpener> urlOpener = std::make_shared<FakeURLOpener>();
    AppDelegate delegate;
    std::shared_ptr<ViewController> screen;

private:
    // The navigations the screen's web views reported finished; shared with the views, which may
    // outlive the test.
    struct Navigations {
        std::weak_ptr<ViewController> screen;
        std::size_t finished = 0;
    };

    StartPage startPage_;
    std::shared_ptr<Navigations> navigations_ = std::make_shared<Navigations>();
};

} // namespace testsupport
