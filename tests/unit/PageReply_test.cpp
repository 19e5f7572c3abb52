#include "base/PageReply.h"
#include "portable/Dispatch.h"
#include "tests/support/FakeWebView.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using testsupport::FakeWebView;
using Strings = std::vector<std::string>;

namespace {

// The scripts the page receives for the answers `answer` gives through a handle on a fresh
// web view with `callback`.
Strings answered(const std::optional<std::string>& callback, const std::function<void(const PageReply&)>& answer)
{
    auto view = std::make_shared<FakeWebView>();
    answer(PageReply(view, callback));
    platform::drainMainQueue();
    return view->scripts();
}

} // namespace

TEST(PageReply, EachAnswerReachesThePageInItsForm)
{
    struct Case {
        const char* name;
        std::optional<std::string> callback;
        std::function<void(const PageReply&)> answer;
        Strings scripts;
    };
    const std::vector<Case> cases = {
        {"text", "cb", [](const PageReply& r) { r.send(R"({"a":"b"})"); }, {R"(cb("{\"a\":\"b\"}"))"}},
        {"empty text", "cb", [](const PageReply& r) { r.send(""); }, {"cb()"}},
        {"acknowledge a name", "done", [](const PageReply& r) { r.acknowledge(); }, {"done()"}},
        {"acknowledge a script", "done(1)", [](const PageReply& r) { r.acknowledge(); }, {"done(1)"}},
        {"acknowledge a script", "window.x = (2)", [](const PageReply& r) { r.acknowledge(); }, {"window.x = (2)"}},
        {"acknowledge without callback", std::nullopt, [](const PageReply& r) { r.acknowledge(); }, {}},
        {"script", std::nullopt, [](const PageReply& r) { r.runScript("a(1)"); }, {"a(1)"}},
        {"hide loading", std::nullopt, [](const PageReply& r) { r.hideAllLoading(); }, {"hideAllLoading()"}},
        {"hide loading if defined", std::nullopt,
         [](const PageReply& r) { r.hideAllLoading(PageReply::HideAllLoading::ifDefined); },
         {"if(window.hideAllLoading) { window.hideAllLoading() }"}},
        {"hide loading with null value", "cb",
         [](const PageReply& r) { r.hideAllLoading(PageReply::HideAllLoading::withNullValue); },
         {R"(hideAllLoading("{\"value\":null}"))"}},
        // A later answer passes through the main queue once more: answers given after it overtake it.
        {"later", "cb", [](const PageReply& r) { r.sendLater("1"); r.send("2"); }, {R"(cb("2"))", R"(cb("1"))"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(answered(c.callback, c.answer), c.scripts) << c.name;
}

// A worker that kept a reply handle while the main thread dropped the page's web view: the web
// view dies on the main thread at once, and the worker's later answers reach nothing.
TEST(PageReply, AWorkerNeverHoldsTheWebView)
{
    auto view = std::make_shared<FakeWebView>();
    std::atomic<bool> destroyed = false;
    std::atomic<bool> destroyedOnMain = false;
    view->onDestroyed = [&] {
        destroyedOnMain = platform::isMainThread();
        destroyed = true;
    };
    std::atomic<bool> dropped = false;
    int tasksRun = 0;
    std::thread worker([reply = PageReply(view, "cb"), &dropped, &tasksRun] {
        while (!dropped)
            std::this_thread::yield();
        reply.send("x");
        reply.withWebView([&tasksRun](platform::WebView&) { ++tasksRun; });
    });
    view.reset();
    EXPECT_TRUE(destroyed);
    EXPECT_TRUE(destroyedOnMain);
    dropped = true;
    worker.join();
    platform::drainMainQueue();
    EXPECT_EQ(tasksRun, 0);
}

TEST(PageReply, WebViewTasksFromAWorkerRunOnTheMainThread)
{
    auto view = std::make_shared<FakeWebView>();
    std::vector<bool> onMain;
    std::thread([reply = PageReply(view), &onMain] {
        reply.withWebView([&onMain](platform::WebView&) { onMain.push_back(platform::isMainThread()); });
    }).join();
    EXPECT_TRUE(onMain.empty());
    platform::drainMainQueue();
    EXPECT_EQ(onMain, std::vector<bool>{true});
}
