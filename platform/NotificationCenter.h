#pragma once
// The in-process notification centre: observers register for a name; a post runs every
// observer of that name synchronously on the posting thread, in the order they registered.
// Observers are grouped by an owner key so an object can remove all of its own at once.
// Safe from any thread; an observer may add or remove observers while it runs.

#include "platform/PlistValue.h"

#include <any>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace platform {

struct Notification {
    std::string name;
    std::any object;       // the sender's object (a product identifier, a service pointer, …)
    PlistDict userInfo;
};

class NotificationCenter {
public:
    using Observer = std::function<void(const Notification&)>;

    // The process's default centre.
    static NotificationCenter& defaultCenter();

    // Registers `observer` for `name` under `owner`; returns a token for removeObserver(token).
    std::uint64_t addObserver(const void* owner, const std::string& name, Observer observer);
    void removeObserver(std::uint64_t token);
    // Removes the observers of `owner` for `name`.
    void removeObserver(const void* owner, const std::string& name);
    // Removes every observer of `owner`.
    void removeObserver(const void* owner);

    void post(const Notification& notification);
    void post(const std::string& name, std::any object = {}, PlistDict userInfo = {});

private:
    struct Entry {
        std::uint64_t token;
        const void* owner;
        std::string name;
        std::shared_ptr<Observer> observer;
    };
    std::mutex mutex_;
    std::vector<Entry> entries_;
    std::uint64_t nextToken_ = 1;
};

} // namespace platform
