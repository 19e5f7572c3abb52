#pragma once
// A web screen in a window over the recording doubles, with the application delegate in place
// (so the alert helper finds the window), ready for the test to drive.

#include "app/AppDelegate.h"
#include "tests/support/FakePlatform.h"
#include "tests/support/LogCapture.h"
#include "webcontainer/CommandTable.h"
#include "webcontainer/ViewController.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

class WebScreenFixture : public testing::Test {
protected:
    // Where the screen's update checks go: to the shared content server, or only into updateChecks.
    enum class UpdateChecks { run, record };
    // The screen dispatches the page's command URLs to `commands`, which must outlive the test.
    explicit WebScreenFixture(UpdateChecks updateChecks = UpdateChecks::run,
                              const CommandTable& commands = bridgeCommandTable());

    // Runs whatever the main queue holds now (page loads, alerts, scripts).
    static void runMainQueue();
    // Writes `content` to the file `relative` below the web root.
    static void writeWebFile(const std::string& relative, const std::string& content = "<html></html>");
    static std::filesystem::path webRoot();

    // The web view the screen shows now; fails the test when there is none.
    FakeWebView& currentWebView();
    // The file the current web view loaded last, relative to the web root ("/index.html").
    std::string loadedPage();
    // The alert on top of the window, or null.
    FakeWindow* topAlert() const { return window->topAlert(); }

    LogCapture log;
    FakePlatform fakes;
    AppDelegate delegate;
    std::shared_ptr<FakeWindow> window = std::make_shared<FakeWindow>();
    // The wakeup flag of every update check the screen started, when they are recorded.
    std::vector<bool> updateChecks;
    std::shared_ptr<ViewController> screen;
};

} // namespace testsupport
