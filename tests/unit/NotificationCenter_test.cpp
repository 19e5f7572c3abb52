#include "platform/NotificationCenter.h"

#include <gtest/gtest.h>

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
