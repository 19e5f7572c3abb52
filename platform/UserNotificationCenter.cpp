#include "platform/UserNotificationCenter.h"

#include "platform/Dispatch.h"
#include "platform/Platform.h"

#include <algorithm>

namespace platform {

void UserNotificationCenter::add(UserNotificationRequest request, AddCompletion completion)
{
    auto answer = [&completion](std::optional<std::string> error) {
        if (completion)
            mainQueue().async([completion = std::move(completion), error = std::move(error)] { completion(error); });
    };
    std::chrono::milliseconds delay{0};
    if (request.trigger) {
        const auto* interval = std::get_if<TimeIntervalNotificationTrigger>(&*request.trigger);
        if (!interval) {
            answer("calendar triggers are not supported");
            return;
        }
        delay = std::max(interval->timeInterval, std::chrono::milliseconds(0));
    }
    const std::string identifier = request.identifier;
    unsigned long long generation = 0;
    {
        std::lock_guard lock(mutex_);
        std::erase_if(pending_, [&](const Pending& entry) { return entry.request.identifier == identifier; });
        generation = nextGeneration_++;
        pending_.push_back({std::move(request), generation});
    }
    schedule(identifier, generation, delay);
    answer(std::nullopt);
}

std::vector<UserNotificationRequest> UserNotificationCenter::pendingNotificationRequests() const
{
    std::lock_guard lock(mutex_);
    std::vector<UserNotificationRequest> requests;
    for (const auto& entry : pending_)
        requests.push_back(entry.request);
    return requests;
}

void UserNotificationCenter::removePendingNotificationRequests(const std::vector<std::string>& identifiers)
{
    std::lock_guard lock(mutex_);
    std::erase_if(pending_, [&](const Pending& entry) {
        return std::find(identifiers.begin(), identifiers.end(), entry.request.identifier) != identifiers.end();
    });
}

void UserNotificationCenter::removeAllPendingNotificationRequests()
{
    std::lock_guard lock(mutex_);
    pending_.clear();
}

void UserNotificationCenter::schedule(const std::string& identifier, unsigned long long generation,
                                      std::chrono::milliseconds delay)
{
    mainQueue().asyncAfter(delay, [weak = weak_from_this(), identifier, generation] {
        if (auto self = weak.lock())
            self->fire(identifier, generation);
    });
}

void UserNotificationCenter::fire(const std::string& identifier, unsigned long long generation)
{
    UserNotificationRequest request;
    std::optional<std::chrono::milliseconds> again;
    {
        std::lock_guard lock(mutex_);
        auto found = std::find_if(pending_.begin(), pending_.end(), [&](const Pending& entry) {
            return entry.request.identifier == identifier && entry.generation == generation;
        });
        // Removed or replaced since.
        if (found == pending_.end())
            return;
        request = found->request;
        // Only time intervals are ever pending (add() refuses calendar triggers).
        if (request.trigger) {
            const auto& interval = std::get<TimeIntervalNotificationTrigger>(*request.trigger);
            if (interval.repeats && interval.timeInterval.count() > 0)
                again = interval.timeInterval;
        }
        if (!again)
            pending_.erase(found);
    }
    if (again)
        schedule(identifier, generation, *again);
    deliverImpl(request);
}

UserNotificationCenter* currentUserNotificationCenter()
{
    return current().userNotificationCenter.get();
}

} // namespace platform
