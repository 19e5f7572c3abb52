#include "portable/Dispatch.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace platform;
using namespace std::chrono_literals;

TEST(Dispatch, MainQueueRunsPostsInOrderOnTheMainThread)
{
    std::vector<int> order;
    bool allOnMain = true;
    std::thread poster([&] {
        for (int i = 0; i < 5; ++i)
            mainQueue().async([&, i] {
                allOnMain = allOnMain && isMainThread();
                order.push_back(i);
            });
    });
    poster.join();
    ASSERT_TRUE(runMainLoopUntil([&] { return order.size() == 5; }));
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_TRUE(allOnMain);
}

TEST(Dispatch, AsyncAfterRunsLaterTasksLater)
{
    std::vector<std::string> order;
    mainQueue().asyncAfter(60ms, [&] { order.push_back("late"); });
    mainQueue().asyncAfter(10ms, [&] { order.push_back("early"); });
    mainQueue().async([&] { order.push_back("now"); });
    ASSERT_TRUE(runMainLoopUntil([&] { return order.size() == 3; }));
    EXPECT_EQ(order, (std::vector<std::string>{"now", "early", "late"}));
}

TEST(Dispatch, SerialQueueRunsOneTaskAtATimeInOrder)
{
    auto queue = makeSerialQueue("test.serial");
    std::vector<int> order;
    std::atomic<int> running{0};
    std::atomic<bool> overlapped{false};
    for (int i = 0; i < 20; ++i)
        queue->async([&, i] {
            if (running.fetch_add(1) != 0)
                overlapped = true;
            std::this_thread::sleep_for(1ms);
            order.push_back(i);
            running.fetch_sub(1);
        });
    queue->sync([] {});
    EXPECT_FALSE(overlapped);
    ASSERT_EQ(order.size(), 20u);
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(order[i], i);
    EXPECT_EQ(queue->label(), "test.serial");
}

TEST(Dispatch, ThrowingTaskDoesNotStopTheQueue)
{
    auto queue = makeSerialQueue("test.throwing");
    bool ranAfter = false;
    queue->async([] { throw std::runtime_error("boom"); });
    queue->sync([&] { ranAfter = true; });
    EXPECT_TRUE(ranAfter);
}

TEST(Dispatch, QueueReleasedByItsOwnTaskStaysSound)
{
    auto queue = makeSerialQueue("test.self");
    std::atomic<bool> done{false};
    auto* raw = queue.get();
    raw->async([q = std::move(queue), &done]() mutable {
        q.reset(); // the last reference goes away on the queue's own thread
        done = true;
    });
    ASSERT_TRUE(runMainLoopUntil([&] { return done.load(); }));
}

TEST(Dispatch, GroupWaitsForEveryLeaveAndNotifiesOnce)
{
    DispatchGroup group;
    std::atomic<int> finished{0};
    for (int i = 0; i < 4; ++i) {
        group.enter();
        globalQueue().async([&] {
            std::this_thread::sleep_for(5ms);
            ++finished;
            group.leave();
        });
    }
    int notified = 0;
    group.notify(mainQueue(), [&] { ++notified; });
    EXPECT_TRUE(group.wait(5s));
    EXPECT_EQ(finished.load(), 4);
    ASSERT_TRUE(runMainLoopUntil([&] { return notified == 1; }));
    drainMainQueue();
    EXPECT_EQ(notified, 1);
}

TEST(Dispatch, GroupWaitTimesOutWhileWorkIsInFlight)
{
    DispatchGroup group;
    group.enter();
    EXPECT_FALSE(group.wait(20ms));
    group.leave();
    EXPECT_TRUE(group.wait(20ms));
}

TEST(Dispatch, SyncToMainQueueFromTheMainThreadDoesNotDeadlock)
{
    int value = 0;
    mainQueue().sync([&] { value = 1; });
    EXPECT_EQ(value, 1);
}

// A pass run at once (after a message of the page) keeps the main queue's order: what its
// tasks post waits for the next pass, and a main loop nested in a task runs the older tasks first.
TEST(Dispatch, MainQueuePassesKeepThePostingOrder)
{
    std::vector<std::string> order;
    EXPECT_TRUE(mainQueueIsIdle());
    mainQueue().async([&] {
        order.push_back("a");
        mainQueue().async([&] { order.push_back("posted by a"); });
    });
    mainQueue().async([&] { order.push_back("b"); });
    EXPECT_FALSE(mainQueueIsIdle());
    runMainQueueNow();
    EXPECT_EQ(order, (std::vector<std::string>{"a", "b"}));
    drainMainQueue();
    EXPECT_EQ(order.back(), "posted by a");
    EXPECT_TRUE(mainQueueIsIdle());

    order.clear();
    mainQueue().async([&] {
        order.push_back("outer starts");
        EXPECT_FALSE(mainQueueIsIdle());
        runMainLoopUntil([&] { return order.back() == "third"; });
        mainQueue().sync([&] { order.push_back("synced"); });
        order.push_back("outer ends");
    });
    mainQueue().async([&] { order.push_back("second"); });
    mainQueue().async([&] { order.push_back("third"); });
    drainMainQueue();
    EXPECT_EQ(order, (std::vector<std::string>{"outer starts", "second", "third", "synced", "outer ends"}));
}
