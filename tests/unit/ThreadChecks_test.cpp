// Main-thread checks and invariants that hold in release builds too, and the one exception
// barrier: what escapes a task or a callback is logged through the logger, never written
// anywhere while logging is off.

#include "logger/Logger.h"
#include "platform/Toast.h"
#include "platform/UrlSession.h"
#include "platform/View.h"
#include "portable/Check.h"
#include "portable/Dispatch.h"
#include "portable/GuardedCall.h"
#include "tests/support/FakeApplication.h"
#include "tests/support/FakeToast.h"
#include "tests/support/FakeURLOpener.h"
#include "tests/support/FakeWebView.h"
#include "tests/support/FakeWindow.h"
#include "tests/support/LogCapture.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <thread>

using namespace std::chrono_literals;
using testsupport::LogCapture;

namespace {

// Runs `body` on a thread of its own.
void onAnotherThread(const std::function<void()>& body)
{
    std::thread(body).join();
}

} // namespace

// The main-thread checks were asserts, compiled out of the release build CI tests: a UI call
// from a worker thread went unnoticed there. Their reason reached only the logger, silent by
// default, so an abort said nothing of why.
TEST(ThreadChecksDeathTest, MainThreadOnlyEntryPointsAbortOnAnotherThread)
{
    struct Case {
        const char* name;
        std::function<void()> call;
    };
    const std::vector<Case> cases = {
        {"toast", [] { testsupport::FakeToast().show("x", 1s, platform::ToastPosition::bottom); }},
        {"alert", [] { std::make_shared<testsupport::FakeWindow>()->present({"t", "m", {{"OK", platform::AlertAction::Style::Default, nullptr}}}); }},
        {"window", [] { std::make_shared<testsupport::FakeWindow>()->show(); }},
        {"web view", [] { std::make_shared<testsupport::FakeWebView>()->evaluateJavaScript("1", nullptr); }},
        {"view", [] { std::make_shared<platform::View>()->addSubview(std::make_shared<platform::View>()); }},
        {"application", [] { testsupport::FakeApplication().setApplicationIconBadgeNumber(1); }},
        {"open URL", [] { testsupport::FakeURLOpener().open("https://example.org/"); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_DEATH(onAnotherThread(c.call), "main thread only");
    }
}

TEST(ThreadChecksDeathTest, BrokenInvariantAbortsWithItsCondition)
{
    auto window = std::make_shared<testsupport::FakeWindow>();
    EXPECT_DEATH(window->present({"an alert without a button", "", {}}), "check failed: !alert_->actions.empty\\(\\)");
}

// Three barriers wrote what escaped to standard error although logging is off by default.
TEST(ExceptionBarrier, EscapedExceptionsAreLoggedAndNothingElseIsWritten)
{
    LogCapture log;
    testing::internal::CaptureStderr();

    platform::guardedCall("a callback", [] { throw std::runtime_error("disk on fire"); });
    platform::guardedCall("another callback", [] { throw 42; });
    bool mainTaskRan = false;
    platform::mainQueue().async([] { throw std::logic_error("main task"); });
    platform::mainQueue().async([&] { mainTaskRan = true; });
    EXPECT_TRUE(platform::runMainLoopUntil([&] { return mainTaskRan; }));
    auto serial = platform::makeSerialQueue("test.barrier");
    serial->async([] { throw std::runtime_error("serial task"); });
    // The queue lives on: this returns only once a later task has run there.
    serial->sync([] {});

    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    // Each escape reaches the logger once, as an error: the only trace it leaves.
    std::size_t errors = 0;
    for (const auto& entry : log.entries())
        errors += entry.level == Logger::Level::Error;
    EXPECT_EQ(errors, 4u);
}
