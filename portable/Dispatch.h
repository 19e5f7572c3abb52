#pragma once
// Queues in the manner of the platform's dispatch queues.
//
// - mainQueue(): GLib's default main context. Every UI step and every JavaScript evaluation
//   runs there. Safe to post to from any thread.
// - makeSerialQueue(label): one worker thread running its tasks one after another in order.
// - globalQueue(): a pool of worker threads; tasks may run side by side.
// - DispatchGroup: counts work in flight; wait for it or be notified when it drains.
//
// Tasks must not throw: an escaping exception is caught, logged as an error and dropped
// (portable/GuardedCall.h).

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace platform {

using Task = std::function<void()>;

class Queue {
public:
    virtual ~Queue() = default;
    // Runs `task` on this queue soon; returns at once. Safe from any thread.
    virtual void async(Task task) = 0;
    // Runs `task` on this queue after `delay`. Safe from any thread.
    virtual void asyncAfter(std::chrono::milliseconds delay, Task task) = 0;
    // Runs `task` on this queue and waits for it. Never call it from this queue's own thread.
    void sync(const Task& task);
    virtual const std::string& label() const = 0;
    // True when the calling thread is one of this queue's threads.
    virtual bool isCurrent() const = 0;
};

// The main queue: GLib's default main context, run by GTK or by a test's pump.
Queue& mainQueue();
// For the engine glue, main thread only. True when the main queue holds no task and is not
// running any.
bool mainQueueIsIdle();
// Runs the main queue's tasks posted so far now, in order, as its next pass on the main loop
// would. Main thread only, and only where the engine allows any main-queue task to run.
void runMainQueueNow();
// A new serial queue with its own thread. The thread ends with the last reference.
std::shared_ptr<Queue> makeSerialQueue(std::string label);
// The shared pool of background threads.
Queue& globalQueue();

// Lowers the calling thread's scheduling priority, and that of the threads it starts from now
// on: for long background work that must leave the CPU to the main thread on a busy machine.
void lowerCurrentThreadPriority();

// Marks the calling thread as the main thread. main() and the test runner call it first.
void setMainThread();
bool isMainThread();

class DispatchGroup {
public:
    void enter();
    void leave();
    // Waits until every enter() has had its leave(); false when `timeout` passed first.
    bool wait(std::chrono::milliseconds timeout = std::chrono::milliseconds::max());
    // Runs `task` on `queue` once the group is empty (at once if it is empty now).
    void notify(Queue& queue, Task task);

private:
    std::mutex mutex_;
    std::condition_variable drained_;
    int count_ = 0;
    std::vector<std::pair<Queue*, Task>> waiting_;
};

// Runs the default main context until `condition` holds or `timeout` passes; returns the
// last value of `condition`. For tests and for the few places that must wait on the main thread.
bool runMainLoopUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds timeout = std::chrono::seconds(10));
// Runs whatever the main context has ready now, without waiting.
void drainMainQueue();

} // namespace platform
