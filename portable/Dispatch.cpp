#include "portable/Dispatch.h"

#include "portable/Check.h"
#include "portable/GuardedCall.h"

#include <glib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <deque>
#include <future>
#include <map>
#include <thread>

namespace platform {
namespace {

std::atomic<std::thread::id> gMainThread{};

// The main queue's tasks wait in one list behind one GLib source, which is ready while the list
// holds tasks: posting allocates no source and, on the main thread, makes no system call (a
// post from another thread wakes the loop). One pass of the source runs, in order, every task
// posted before the pass began (tasks they post wait for the next pass).
class MainQueue final : public Queue {
public:
    MainQueue() : source_(g_source_new(&kSourceFuncs, sizeof(OwnedSource)))
    {
        reinterpret_cast<OwnedSource*>(source_)->owner = this;
        g_source_set_priority(source_, G_PRIORITY_DEFAULT);
        g_source_set_callback(source_, &MainQueue::dispatchPass, this, nullptr);
        g_source_set_can_recurse(source_, TRUE);
        g_source_attach(source_, g_main_context_default());
    }

    void async(Task task) override
    {
        bool wasPending;
        {
            std::lock_guard lock(mutex_);
            tasks_.push_back(std::move(task));
            wasPending = pending_.exchange(true);
        }
        // The main thread itself is not asleep in the loop: its next pass finds the task. Nor is
        // it while tasks wait: the source stays ready until the list is empty, so only the post
        // that finds the list empty wakes it (a burst from a worker costs one wake-up).
        if (!wasPending && !isMainThread())
            g_main_context_wakeup(g_source_get_context(source_));
    }

    void asyncAfter(std::chrono::milliseconds delay, Task task) override
    {
        GSource* source = g_timeout_source_new(static_cast<guint>(delay.count()));
        g_source_set_priority(source, G_PRIORITY_DEFAULT);
        g_source_set_callback(source, &MainQueue::runTimed, new Task(std::move(task)),
                              [](gpointer data) { delete static_cast<Task*>(data); });
        g_source_attach(source, g_main_context_default());
        g_source_unref(source);
    }

    const std::string& label() const override { return label_; }
    bool isCurrent() const override { return isMainThread(); }

    bool idle()
    {
        std::lock_guard lock(mutex_);
        return tasks_.empty() && passes_ == 0;
    }

    // One pass: the tasks posted before it began, oldest first. The source stays ready while
    // tasks wait, so a main loop nested in a task runs a pass of its own that goes on with the
    // oldest task left: the order holds.
    void runPass()
    {
        std::size_t count;
        {
            std::lock_guard lock(mutex_);
            count = tasks_.size();
            ++passes_;
        }
        for (; count > 0; --count) {
            Task task;
            {
                std::lock_guard lock(mutex_);
                if (tasks_.empty())
                    break;
                task = std::move(tasks_.front());
                tasks_.pop_front();
                pending_ = !tasks_.empty();
            }
            guardedCall("task on the main queue", task);
        }
        std::lock_guard lock(mutex_);
        --passes_;
    }

private:
    static gboolean dispatchPass(gpointer self)
    {
        static_cast<MainQueue*>(self)->runPass();
        return G_SOURCE_CONTINUE;
    }

    static gboolean prepare(GSource* source, gint* timeout)
    {
        *timeout = -1;
        return check(source);
    }

    static gboolean check(GSource* source)
    {
        return static_cast<const MainQueue*>(sourceOwner(source))->pending_.load(std::memory_order_acquire);
    }

    static gboolean dispatch(GSource* source, GSourceFunc callback, gpointer data)
    {
        return callback ? callback(data) : G_SOURCE_CONTINUE;
    }

    static gboolean runTimed(gpointer data)
    {
        guardedCall("task on the main queue", *static_cast<Task*>(data));
        return G_SOURCE_REMOVE;
    }

    // The source carries a pointer back to its queue.
    struct OwnedSource {
        GSource source;
        MainQueue* owner;
    };
    static MainQueue* sourceOwner(GSource* source) { return reinterpret_cast<OwnedSource*>(source)->owner; }

    static inline GSourceFuncs kSourceFuncs{&MainQueue::prepare, &MainQueue::check, &MainQueue::dispatch, nullptr,
                                            nullptr, nullptr};

    std::string label_ = "main";
    GSource* source_;  // never released: the main queue lives as long as the process
    std::mutex mutex_;
    std::deque<Task> tasks_;
    std::atomic<bool> pending_{false};  // tasks_ is not empty; read by the source without the lock
    int passes_ = 0;  // passes running now (nested main loops run passes inside passes)
};

MainQueue& theMainQueue()
{
    static auto* queue = new MainQueue();
    return *queue;
}

// Worker threads taking tasks in order of their due time (then of posting). The threads share
// the state with the queue object, so a queue released by one of its own tasks stays sound.
class WorkerQueue final : public Queue {
public:
    WorkerQueue(std::string label, unsigned threads) : state_(std::make_shared<State>())
    {
        state_->where = "task on queue " + label;
        state_->label = std::move(label);
        for (unsigned i = 0; i < threads; ++i)
            workers_.emplace_back([state = state_] { work(*state); });
    }

    ~WorkerQueue() override
    {
        {
            std::lock_guard lock(state_->mutex);
            state_->stopping = true;
        }
        state_->ready.notify_all();
        for (auto& worker : workers_) {
            if (worker.get_id() == std::this_thread::get_id())
                worker.detach();
            else
                worker.join();
        }
    }

    void async(Task task) override { asyncAfter(std::chrono::milliseconds(0), std::move(task)); }

    void asyncAfter(std::chrono::milliseconds delay, Task task) override
    {
        {
            std::lock_guard lock(state_->mutex);
            auto due = std::chrono::steady_clock::now() + delay;
            state_->tasks.emplace(std::make_pair(due, state_->sequence++), std::move(task));
        }
        state_->ready.notify_one();
    }

    const std::string& label() const override { return state_->label; }

    bool isCurrent() const override
    {
        for (const auto& worker : workers_)
            if (worker.get_id() == std::this_thread::get_id())
                return true;
        return false;
    }

private:
    using Due = std::pair<std::chrono::steady_clock::time_point, std::uint64_t>;
    struct State {
        std::string label;
        // How the logs name a task of this queue that threw.
        std::string where;
        std::mutex mutex;
        std::condition_variable ready;
        std::map<Due, Task> tasks;
        std::uint64_t sequence = 0;
        bool stopping = false;
    };

    static void work(State& state)
    {
        std::unique_lock lock(state.mutex);
        while (!state.stopping) {
            if (state.tasks.empty()) {
                state.ready.wait(lock);
                continue;
            }
            auto first = state.tasks.begin();
            if (first->first.first > std::chrono::steady_clock::now()) {
                state.ready.wait_until(lock, first->first.first);
                continue;
            }
            Task task = std::move(first->second);
            state.tasks.erase(first);
            lock.unlock();
            guardedCall(state.where, task);
            task = nullptr;
            lock.lock();
        }
    }

    std::shared_ptr<State> state_;
    std::vector<std::thread> workers_;
};

} // namespace

void Queue::sync(const Task& task)
{
    std::promise<void> done;
    async([&] {
        guardedCall("task run by sync() on queue " + label(), task);
        done.set_value();
    });
    if (this == &mainQueue() && isMainThread()) {
        // The main thread may only wait by running its own context.
        auto future = done.get_future();
        while (future.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
            g_main_context_iteration(nullptr, TRUE);
        return;
    }
    done.get_future().wait();
}

Queue& mainQueue()
{
    return theMainQueue();
}

bool mainQueueIsIdle()
{
    return theMainQueue().idle();
}

void runMainQueueNow()
{
    requireMainThread();
    theMainQueue().runPass();
}

std::shared_ptr<Queue> makeSerialQueue(std::string label)
{
    return std::make_shared<WorkerQueue>(std::move(label), 1);
}

Queue& globalQueue()
{
    static auto* queue = new WorkerQueue("global", std::max(4u, std::thread::hardware_concurrency()));
    return *queue;
}

void lowerCurrentThreadPriority()
{
    // On Linux the nice value belongs to the thread; new threads take their creator's.
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 10);
}

void setMainThread()
{
    gMainThread = std::this_thread::get_id();
}

bool isMainThread()
{
    return gMainThread.load() == std::this_thread::get_id();
}

void DispatchGroup::enter()
{
    std::lock_guard lock(mutex_);
    ++count_;
}

void DispatchGroup::leave()
{
    std::vector<std::pair<Queue*, Task>> toRun;
    {
        std::lock_guard lock(mutex_);
        if (count_ > 0)
            --count_;
        if (count_ == 0)
            toRun.swap(waiting_);
    }
    drained_.notify_all();
    for (auto& [queue, task] : toRun)
        queue->async(std::move(task));
}

bool DispatchGroup::wait(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(mutex_);
    if (timeout == std::chrono::milliseconds::max()) {
        drained_.wait(lock, [this] { return count_ == 0; });
        return true;
    }
    return drained_.wait_for(lock, timeout, [this] { return count_ == 0; });
}

void DispatchGroup::notify(Queue& queue, Task task)
{
    {
        std::lock_guard lock(mutex_);
        if (count_ > 0) {
            waiting_.emplace_back(&queue, std::move(task));
            return;
        }
    }
    queue.async(std::move(task));
}

bool runMainLoopUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    GMainContext* context = g_main_context_default();
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return condition();
        // A short timer keeps the loop from blocking past the deadline or a condition
        // that another thread makes true without posting to the main context.
        GSource* tick = g_timeout_source_new(10);
        g_source_set_callback(tick, [](gpointer) -> gboolean { return G_SOURCE_REMOVE; }, nullptr, nullptr);
        g_source_attach(tick, context);
        g_main_context_iteration(context, TRUE);
        g_source_destroy(tick);
        g_source_unref(tick);
    }
    return true;
}

void drainMainQueue()
{
    while (g_main_context_iteration(g_main_context_default(), FALSE)) {
    }
}

} // namespace platform
