#include "portable/NotificationCenter.h"

#include "portable/Dispatch.h"

#include <atomic>

namespace platform {

namespace {

std::mutex gDefaultMutex;
std::shared_ptr<NotificationCenter> gDefault;

} // namespace

// What a delivery needs, shared with the deliveries still queued: they check `registered`
// when they run, so removal stops them without the centre having to outlive them.
struct NotificationCenter::Registration {
    Observer observer;
    Queue* queue;
    std::atomic<bool> registered{true};

    void deliver(const Notification& notification) const
    {
        if (registered.load())
            observer(notification);
    }
};

NotificationCenter::~NotificationCenter()
{
    removeWhere([](const Entry&) { return true; });
}

NotificationCenter& NotificationCenter::defaultCenter()
{
    std::lock_guard lock(gDefaultMutex);
    if (!gDefault)
        gDefault = std::make_shared<NotificationCenter>();
    return *gDefault;
}

void NotificationCenter::setDefault(std::shared_ptr<NotificationCenter> center)
{
    std::lock_guard lock(gDefaultMutex);
    gDefault = std::move(center);
}

std::uint64_t NotificationCenter::addObserver(const void* owner, const std::string& name, Observer observer,
                                              Queue* queue)
{
    auto registration = std::make_shared<Registration>();
    registration->observer = std::move(observer);
    registration->queue = queue;
    std::lock_guard lock(mutex_);
    const auto token = nextToken_++;
    entries_.push_back({token, owner, name, std::move(registration)});
    return token;
}

template <class Match>
void NotificationCenter::removeWhere(Match match)
{
    std::lock_guard lock(mutex_);
    std::erase_if(entries_, [&](const Entry& e) {
        if (!match(e))
            return false;
        e.registration->registered = false;
        return true;
    });
}

void NotificationCenter::removeObserver(std::uint64_t token)
{
    removeWhere([&](const Entry& e) { return e.token == token; });
}

void NotificationCenter::removeObserver(const void* owner, const std::string& name)
{
    removeWhere([&](const Entry& e) { return e.owner == owner && e.name == name; });
}

void NotificationCenter::removeObserver(const void* owner)
{
    removeWhere([&](const Entry& e) { return e.owner == owner; });
}

void NotificationCenter::post(const Notification& notification)
{
    std::vector<std::shared_ptr<Registration>> matching;
    {
        std::lock_guard lock(mutex_);
        for (const auto& e : entries_)
            if (e.name == notification.name)
                matching.push_back(e.registration);
    }
    // One copy of the notification for every queued delivery of this post.
    std::shared_ptr<const Notification> queued;
    for (const auto& registration : matching) {
        if (!registration->queue || registration->queue->isCurrent()) {
            // An observer removed by an earlier one in this post is not run any more.
            registration->deliver(notification);
            continue;
        }
        if (!queued)
            queued = std::make_shared<const Notification>(notification);
        registration->queue->async([registration, queued] { registration->deliver(*queued); });
    }
}

void NotificationCenter::post(const std::string& name, std::any object, PlistDict userInfo)
{
    post(Notification{name, std::move(object), std::move(userInfo)});
}

} // namespace platform
