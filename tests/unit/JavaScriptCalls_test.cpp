#include "base/JavaScriptCalls.h"
#include "base/JavaScriptString.h"
#include "portable/Dispatch.h"
#include "tests/support/FakeWebView.h"
#include "tests/support/LogCapture.h"

#include <gtest/gtest.h>

#include <thread>

using testsupport::FakeWebView;
using testsupport::LogCapture;
using Level = Logger::Level;

namespace {

// Lets the main queue run until the view has evaluated `count` scripts and run their completions.
void waitForEvaluations(const FakeWebView& view, std::size_t count)
{
    ASSERT_TRUE(platform::runMainLoopUntil([&] {
        return view.scripts().size() >= count && view.completionsRun() >= static_cast<int>(count);
    }));
}

// The script the page receives for callJsCallback(name, parameter).
std::string scriptEvaluatedFor(const std::string& name, const std::string& parameter)
{
    auto view = std::make_shared<FakeWebView>();
    callJsCallback(name, parameter, view);
    waitForEvaluations(*view, 1);
    return view->scripts().empty() ? "" : view->scripts().front();
}

} // namespace

TEST(CallJsCallback, TheParameterReachesThePageAsOneStringLiteral)
{
    const struct {
        const char* name;
        std::string parameter;
        std::string script;
    } cases[] = {
        // Seven characters between the quotes: a \ \ b \ " c
        {"the backslash is escaped before the quote, so the added one is not doubled", "a\\b\"c",
         "cb(\"a\\\\b\\\"c\")"},
        // They reached the page raw, inside the literal, and the script failed to parse.
        {"line breaks and other control characters are escaped",
         "1\n2\r3\xE2\x80\xA8" "4\xE2\x80\xA9" "5\t6\x01" "7\xC2\x85" "8",
         "cb(\"1\\n2\\r3\\u20284\\u20295\\u00096\\u00017\\u00858\")"},
        {"ordinary text and letters beyond ASCII pass unchanged", "Grüße 'x' – \xE2\x80\xA7 ok",
         "cb(\"Grüße 'x' – \xE2\x80\xA7 ok\")"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(scriptEvaluatedFor("cb", c.parameter), c.script);
    }
}

TEST(CallJsCallback, EmptyParameterCallsWithoutArgumentAndJsonPassesAsOneLiteral)
{
    auto view = std::make_shared<FakeWebView>();
    callJsCallback("hideAllLoading", "", view);
    callJsCallback("done", R"({"value":"x"})", view);
    waitForEvaluations(*view, 2);
    EXPECT_EQ(view->scripts().at(0), "hideAllLoading()");
    EXPECT_EQ(view->scripts().at(1), R"(done("{\"value\":\"x\"}"))");
}

TEST(CallJsCallback, NameNullIsRefusedButCapitalNullRunsAndItsFailureIsLogged)
{
    LogCapture log;
    auto view = std::make_shared<FakeWebView>();
    view->setResult({std::nullopt, "ReferenceError: Can't find variable: NULL"});
    callJsCallback("null", "x", view);
    callJsCallback(std::nullopt, "x", view);
    callJsCallback("NULL", "x", view);
    waitForEvaluations(*view, 1);
    platform::drainMainQueue();

    ASSERT_EQ(view->scripts().size(), 1u);
    EXPECT_EQ(view->scripts().at(0), "NULL(\"x\")");
    // The log line is the behaviour here: nothing else is observable.
    EXPECT_TRUE(log.has(Level::Error, "callBackMethod could not be force to String, perhaps empty? null"));
    EXPECT_TRUE(log.has(Level::Error, "callBackMethod could not be force to String, perhaps empty? nil"));
    EXPECT_TRUE(log.contains(Level::Debug, "Error evaluating script for callback NULL Error: ReferenceError"));
}

TEST(JavaScriptCalls, WithoutWebViewNothingRunsAndNothingIsLogged)
{
    LogCapture log;
    callJS("a()", {});
    callJsCallback("null", "x", {});
    callJsCallback("cb", "x", {});
    platform::drainMainQueue();
    // The log line is the behaviour here (that none is written): nothing else is observable.
    EXPECT_TRUE(log.entries().empty());
}

TEST(CallJS, RunsLaterOnTheMainQueueInOrderAndLogsFailures)
{
    LogCapture log;
    auto view = std::make_shared<FakeWebView>();
    view->setResponder([](const std::string& script) {
        return script == "bad()" ? platform::WebView::ScriptResult{std::nullopt, "TypeError"}
                                 : platform::WebView::ScriptResult{"1", std::nullopt};
    });
    callJS("first()", view);
    callJS("bad()", view);
    // Nothing runs before the caller returns to the main loop.
    EXPECT_TRUE(view->scripts().empty());
    waitForEvaluations(*view, 2);

    EXPECT_EQ(view->scripts(), (std::vector<std::string>{"first()", "bad()"}));
    // The log line is the behaviour here: nothing else is observable.
    EXPECT_TRUE(log.has(Level::Debug, "Error evaluating script for server script: bad() Error: TypeError Result: nil"));
    EXPECT_FALSE(log.contains(Level::Debug, "Error evaluating script for server script: first()"));
}

TEST(JavaScriptCalls, CallsFromAWorkerThreadEvaluateOnTheMainThread)
{
    auto view = std::make_shared<FakeWebView>();
    std::thread worker([view] {
        callJS("a()", view);
        callJsCallback("cb", "b", view);
    });
    worker.join();
    // The base class asserts the main thread on every evaluation.
    waitForEvaluations(*view, 2);
    EXPECT_EQ(view->scripts(), (std::vector<std::string>{"a()", "cb(\"b\")"}));
}

TEST(JavaScriptCalls, WebViewDestroyedBeforeTheTaskRunsIsSkipped)
{
    auto view = std::make_shared<FakeWebView>();
    std::weak_ptr<FakeWebView> weak = view;
    callJS("a()", view);
    callJsCallback("cb", "b", view);
    view.reset();
    EXPECT_TRUE(weak.expired());
    platform::drainMainQueue();
}

TEST(EscapeJavaScriptString, EscapesTheChosenQuoteOnly)
{
    EXPECT_EQ(escapeJavaScriptString("it's \"x\"", '\''), "it\\'s \"x\"");
    EXPECT_EQ(escapeJavaScriptString("it's \"x\"", '"'), "it's \\\"x\\\"");
    EXPECT_EQ(escapeJavaScriptString(std::string("a\0b\x7F", 4), '"'), "a\\u0000b\\u007F");
    // Characters that only begin like a C1 control or a line separator pass unchanged, up to
    // a sequence cut short at the end.
    EXPECT_EQ(escapeJavaScriptString("\xC2\xA0\xE2\x80\xA7\xE2\x82\xAC a\\b\xE2\x80", '"'),
              "\xC2\xA0\xE2\x80\xA7\xE2\x82\xAC a\\\\b\xE2\x80");
}
