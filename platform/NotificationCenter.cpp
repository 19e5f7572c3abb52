#include "platform/NotificationCenter.h"

#include <algorithm>

namespace platform {

NotificationCenter& NotificationCenter::defaultCenter()
{
    static auto* center = new NotificationCenter();
    return *center;
}

std::uint64_t NotificationCenter::addObserver(const void* owner, const std::string& name, Observer observer)
{
    std::lock_guard lock(mutex_);
    const auto token = nextToken_++;
    entries_.push_back({token, owner, name, std::make_shared<Observer>(std::move(observer))});
    return token;
}

void NotificationCenter::removeObserver(std::uint64_t token)
{
    std::lock_guard lock(mutex_);
    std::erase_if(entries_, [&](const Entry& e) { return e.token == token; });
}

void NotificationCenter::removeObserver(const void* owner, const std::string& name)
{
    std::lock_guard lock(mutex_);
    std::erase_if(entries_, [&](const Entry& e) { return e.owner == owner && e.name == name; });
}

void NotificationCenter::removeObserver(const void* owner)
{
    std::lock_guard lock(mutex_);
    std::erase_if(entries_, [&](const Entry& e) { return e.owner == owner; });
}

void NotificationCenter::post(const Notification& notification)
{
    std::vector<std::pair<std::uint64_t, std::shared_ptr<Observer>>> matching;
    {
        std::lock_guard lock(mutex_);
        for (const auto& e : entries_)
            if (e.name == notification.name)
                matching.emplace_back(e.token, e.observer);
    }
    for (const auto& [token, observer] : matching) {
        // An observer removed by an earlier one in this post is not run any more.
        bool stillRegistered;
        {
            std::lock_guard lock(mutex_);
            stillRegistered = std::any_of(entries_.begin(), entries_.end(),
                                          [&](const Entry& e) { return e.token == token; });
        }
        if (stillRegistered)
            (*observer)(notification);
    }
}

void NotificationCenter::post(const std::string& name, std::any object, PlistDict userInfo)
{
    post(Notification{name, std::move(object), std::move(userInfo)});
}

} // namespace platform
