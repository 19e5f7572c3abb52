#include "portable/NotificationCenter.h"

#include "portable/Dispatch.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

using platform::Notification;
using platform::NotificationCenter;

TEST(NotificationCenter, PostRunsObserversOfTheNameInOrderWithUserInfo)
{
    NotificationCenter center;
    std::vector<std::string> calls;
    int owner = 0;
    center.addObserver(&owner, "a", [&](const Notification& n) { calls.push_back("first:" + *n.userInfo.at("k").asString()); });
    center.addObserver(&owner, "b", [&](const Notification&) { calls.push_back("other"); });
    center.addObserver(&owner, "a", [&](const Notification& n) { calls.push_back(std::any_cast<std::string>(n.object)); });
    center.post("a", std::string("object"), {{"k", "v"}});
    EXPECT_EQ(calls, (std::vector<std::string>{"first:v", "object"}));
}

TEST(NotificationCenter, RemovalByNameByOwnerAndByToken)
{
    NotificationCenter center;
    int a = 0, b = 0;
    int countA = 0, countB = 0;
    center.addObserver(&a, "x", [&](const Notification&) { ++countA; });
    center.addObserver(&a, "y", [&](const Notification&) { ++countA; });
    auto token = center.addObserver(&b, "x", [&](const Notification&) { ++countB; });

    center.removeObserver(&a, "x");
    center.post("x");
    center.post("y");
    EXPECT_EQ(countA, 1);
    EXPECT_EQ(countB, 1);

    center.removeObserver(&a);
    center.removeObserver(token);
    center.post("x");
    center.post("y");
    EXPECT_EQ(countA, 1);
    EXPECT_EQ(countB, 1);
}

TEST(NotificationCenter, ObserverMayRemoveAnotherDuringAPost)
{
    NotificationCenter center;
    int first = 0, second = 0;
    center.addObserver(&first, "n", [&](const Notification&) {
        ++first;
        center.removeObserver(&second);
    });
    center.addObserver(&second, "n", [&](const Notification&) { ++second; });
    center.post("n");
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 0);
}

TEST(NotificationCenter, ObserversRunOnThePostingThread)
{
    NotificationCenter center;
    std::thread::id ranOn;
    int owner = 0;
    center.addObserver(&owner, "n", [&](const Notification&) { ranOn = std::this_thread::get_id(); });
    std::thread::id poster;
    std::thread t([&] {
        poster = std::this_thread::get_id();
        center.post("n");
    });
    t.join();
    EXPECT_EQ(ranOn, poster);
}

// ServerCom posts from its reply thread, while the web screen that observes is main-thread only.
TEST(NotificationCenter, QueuedObserverRunsOnItsQueueWhateverThreadPosts)
{
    NotificationCenter center;
    auto serial = platform::makeSerialQueue("test.observer");
    struct Case {
        const char* name;
        platform::Queue* queue;
        bool postFromWorker;
        bool runsBeforePostReturns;
    };
    const Case cases[] = {
        {"main queue, posted on a worker", &platform::mainQueue(), true, false},
        {"main queue, posted on the main thread", &platform::mainQueue(), false, true},
        {"serial queue, posted on the main thread", serial.get(), false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        int owner = 0;
        std::atomic<int> calls{0};
        std::atomic<bool> onItsQueue{false};
        center.addObserver(&owner, "n", [&](const Notification& n) {
            onItsQueue = c.queue->isCurrent() && *n.userInfo.at("k").asString() == "v";
            ++calls;
        }, c.queue);
        // The serial queue waits until the post has returned (the main queue waits anyway).
        std::promise<void> posted;
        serial->async([ready = posted.get_future().share()] { ready.wait(); });
        if (c.postFromWorker)
            std::thread([&] { center.post("n", {}, {{"k", "v"}}); }).join();
        else
            center.post("n", {}, {{"k", "v"}});
        EXPECT_EQ(calls, c.runsBeforePostReturns ? 1 : 0);
        posted.set_value();
        EXPECT_TRUE(platform::runMainLoopUntil([&] { return calls == 1; }));
        EXPECT_TRUE(onItsQueue);
        center.removeObserver(&owner);
    }
}

TEST(NotificationCenter, ObserverGoneBeforeItsQueuedDeliveryIsNotCalled)
{
    int calls = 0;
    auto postFromWorker = [](NotificationCenter& center) { std::thread([&] { center.post("n"); }).join(); };
    {
        NotificationCenter center;
        int owner = 0;
        center.addObserver(&owner, "n", [&](const Notification&) { ++calls; }, &platform::mainQueue());
        postFromWorker(center);
        center.removeObserver(&owner);
        platform::drainMainQueue();
        EXPECT_EQ(calls, 0) << "removed";
    }
    {
        auto center = std::make_unique<NotificationCenter>();
        int owner = 0;
        center->addObserver(&owner, "n", [&](const Notification&) { ++calls; }, &platform::mainQueue());
        postFromWorker(*center);
        center.reset();
        platform::drainMainQueue();
        EXPECT_EQ(calls, 0) << "centre destroyed";
    }
}
