#pragma once
// The in-process notification centre: observers register for a name; a post delivers to every
// observer of that name, in the order they registered. Observers are grouped by an owner key so
// an object can remove all of its own at once.
//
// Threads: safe from any thread; an observer may add or remove observers while it runs.
// - An observer registered without a queue runs synchronously on the posting thread, inside
//   post().
// - An observer registered with a queue runs on that queue whatever thread posted: inline
//   when the posting thread already is that queue's thread, otherwise post() sends the
//   delivery to the queue and returns without waiting. Observers that touch the UI register
//   with mainQueue(). Deliveries from one posting thread reach a serial queue in posting order.
// Removal: a delivery first checks that its observer is still registered. So an observer
// removed before its queued delivery runs is not called, and once removeObserver() has
// returned on the thread of the observer's serial queue (the main thread for mainQueue()) the
// observer is never called again. Removed on another thread, a delivery that has already
// begun runs to its end. The queue must outlive the registration; mainQueue() and
// globalQueue() always do.
//
// Lifetimes: the centre keeps the observer function (and what it captured) until the
// observer is removed and its last queued delivery has run or been skipped.

#include "portable/PlistValue.h"

#include <any>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace platform {

class Queue;

struct Notification {
    std::string name;
    std::any object;       // the sender's object (a product identifier, a service pointer, …)
    PlistDict userInfo;
};

class NotificationCenter {
public:
    using Observer = std::function<void(const Notification&)>;

    NotificationCenter() = default;
    NotificationCenter(const NotificationCenter&) = delete;
    NotificationCenter& operator=(const NotificationCenter&) = delete;
    // Deliveries still queued when the centre goes are skipped.
    ~NotificationCenter();

    // The process's default centre: the one setDefault() installed, else one made on first use.
    static NotificationCenter& defaultCenter();
    // Makes `center` the default centre; nullptr forgets it (the next use makes a fresh one).
    // Only while no other thread uses the default centre (the composition root does it).
    static void setDefault(std::shared_ptr<NotificationCenter> center);

    // Registers `observer` for `name` under `owner`, to run on `queue` (none: on the posting
    // thread); returns a token for removeObserver(token).
    std::uint64_t addObserver(const void* owner, const std::string& name, Observer observer, Queue* queue = nullptr);
    void removeObserver(std::uint64_t token);
    // Removes the observers of `owner` for `name`.
    void removeObserver(const void* owner, const std::string& name);
    // Removes every observer of `owner`.
    void removeObserver(const void* owner);

    void post(const Notification& notification);
    void post(const std::string& name, std::any object = {}, PlistDict userInfo = {});

private:
    struct Registration;
    struct Entry {
        std::uint64_t token;
        const void* owner;
        std::string name;
        std::shared_ptr<Registration> registration;
    };

    template <class Match>
    void removeWhere(Match match);

    std::mutex mutex_;
    std::vector<Entry> entries_;
    std::uint64_t nextToken_ = 1;
};

} // namespace platform
