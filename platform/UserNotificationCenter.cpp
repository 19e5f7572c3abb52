#include "platform/UserNotificationCenter.h"

#include "logger/Logger.h"
#include "platform/Application.h"
#include "platform/LocalCalendar.h"
#include "platform/Platform.h"
#include "platform/Window.h"
#include "portable/Dispatch.h"
#include "portable/FileManager.h"
#include "portable/PlistSerialization.h"

#include <algorithm>

namespace platform {
namespace {

// A calendar trigger is looked at again at least this often, so a wall clock that jumps (a
// suspended machine, a changed time) delays a reminder by no more than this.
constexpr std::chrono::milliseconds kCalendarRecheck = std::chrono::seconds(60);

const std::pair<const char*, std::optional<int> DateComponents::*> kComponentFields[] = {
    {"year", &DateComponents::year},     {"month", &DateComponents::month},   {"day", &DateComponents::day},
    {"hour", &DateComponents::hour},     {"minute", &DateComponents::minute}, {"second", &DateComponents::second},
    {"weekday", &DateComponents::weekday},
};

PlistValue storedEntry(const UserNotificationRequest& request, const CalendarNotificationTrigger& trigger,
                       TimePoint fireDate)
{
    PlistDict match;
    for (const auto& [key, field] : kComponentFields)
        if (const auto& value = trigger.dateMatching.*field)
            match[key] = *value;
    return PlistDict{
        {"identifier", request.identifier},
        {"title", request.content.title},
        {"body", request.content.body},
        {"sound", request.content.sound == NotificationSound::defaultSound},
        {"userInfo", request.content.userInfo},
        {"dateMatching", std::move(match)},
        {"repeats", trigger.repeats},
        {"fireDate", PlistDate(fireDate)},
    };
}

// A stored entry back as a request and its next time; nothing for an entry that is not whole.
std::optional<std::pair<UserNotificationRequest, TimePoint>> readEntry(const PlistValue& value)
{
    const auto* entry = value.asDict();
    if (!entry)
        return std::nullopt;
    auto text = [entry](const char* key) -> const std::string* {
        const auto found = entry->find(key);
        return found == entry->end() ? nullptr : found->second.asString();
    };
    const auto identifier = text("identifier");
    const auto match = entry->find("dateMatching");
    const auto fireDate = entry->find("fireDate");
    if (!identifier || match == entry->end() || !match->second.isDict() || fireDate == entry->end()
        || !fireDate->second.asDate())
        return std::nullopt;
    UserNotificationRequest request;
    request.identifier = *identifier;
    request.content.title = text("title") ? *text("title") : "";
    request.content.body = text("body") ? *text("body") : "";
    if (const auto sound = entry->find("sound"); sound != entry->end() && sound->second.asBoolean())
        request.content.sound = *sound->second.asBoolean() ? NotificationSound::defaultSound : NotificationSound::none;
    if (const auto info = entry->find("userInfo"); info != entry->end() && info->second.isDict())
        request.content.userInfo = *info->second.asDict();
    CalendarNotificationTrigger trigger;
    for (const auto& [key, field] : kComponentFields)
        if (const auto* number = match->second.find(key); number && number->asInteger())
            trigger.dateMatching.*field = static_cast<int>(*number->asInteger());
    if (const auto repeats = entry->find("repeats"); repeats != entry->end() && repeats->second.asBoolean())
        trigger.repeats = *repeats->second.asBoolean();
    request.trigger = trigger;
    return std::make_pair(std::move(request), *fireDate->second.asDate());
}

const CalendarNotificationTrigger* calendarTrigger(const UserNotificationRequest& request)
{
    return request.trigger ? std::get_if<CalendarNotificationTrigger>(&*request.trigger) : nullptr;
}

bool applicationIsActive()
{
    const auto& application = current().application;
    return application && application->applicationState() == Application::State::active;
}

} // namespace

void UserNotificationCenter::add(UserNotificationRequest request, AddCompletion completion)
{
    auto answer = [&completion](std::optional<std::string> error) {
        if (completion)
            mainQueue().async([completion = std::move(completion), error = std::move(error)] { completion(error); });
    };
    const std::string identifier = request.identifier;
    Pending entry{std::move(request), 0, std::nullopt};
    {
        std::lock_guard lock(mutex_);
        arm(entry, now());
        std::erase_if(pending_, [&](const Pending& old) { return old.request.identifier == identifier; });
        entry.generation = nextGeneration_++;
        pending_.push_back(entry);
        if (entry.fireDate)
            saveLocked();
    }
    // A calendar trigger that matches no later time: pending, and it never fires.
    if (calendarTrigger(entry.request) && !entry.fireDate) {
        answer(std::nullopt);
        return;
    }
    std::chrono::milliseconds delay{0};
    if (entry.fireDate)
        delay = std::min(kCalendarRecheck, std::chrono::ceil<std::chrono::milliseconds>(*entry.fireDate - now()));
    else if (entry.request.trigger)
        delay = std::max(std::get<TimeIntervalNotificationTrigger>(*entry.request.trigger).timeInterval,
                         std::chrono::milliseconds(0));
    schedule(identifier, entry.generation, delay);
    answer(std::nullopt);
}

bool UserNotificationCenter::arm(Pending& entry, TimePoint after)
{
    const auto* calendar = calendarTrigger(entry.request);
    if (!calendar)
        return true;
    entry.fireDate = LocalCalendar::nextDate(calendar->dateMatching, after);
    return entry.fireDate.has_value();
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
    saveLocked();
}

void UserNotificationCenter::removeAllPendingNotificationRequests()
{
    std::lock_guard lock(mutex_);
    pending_.clear();
    saveLocked();
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
    bool due = true;
    {
        std::lock_guard lock(mutex_);
        auto found = std::find_if(pending_.begin(), pending_.end(), [&](const Pending& entry) {
            return entry.request.identifier == identifier && entry.generation == generation;
        });
        // Removed or replaced since.
        if (found == pending_.end())
            return;
        request = found->request;
        const TimePoint moment = now();
        if (found->fireDate) {
            due = *found->fireDate <= moment;
            const bool repeats = calendarTrigger(request)->repeats;
            if (due && repeats && !arm(*found, std::max(moment, *found->fireDate)))
                found->fireDate.reset();
            if (found->fireDate && (!due || repeats))
                again = std::min(kCalendarRecheck,
                                 std::chrono::ceil<std::chrono::milliseconds>(*found->fireDate - moment));
        } else if (request.trigger) {
            const auto& interval = std::get<TimeIntervalNotificationTrigger>(*request.trigger);
            if (interval.repeats && interval.timeInterval.count() > 0)
                again = interval.timeInterval;
        }
        if (!again)
            pending_.erase(found);
        if (due && calendarTrigger(request))
            saveLocked();
    }
    if (again)
        schedule(identifier, generation, std::max(*again, std::chrono::milliseconds(0)));
    if (due)
        present(request);
}

void UserNotificationCenter::present(const UserNotificationRequest& request)
{
    const auto handler = delegate();
    if (!handler || !applicationIsActive()) {
        show(request);
        return;
    }
    UserNotification notification{request, now()};
    handler->willPresent(*this, notification,
                         [weak = weak_from_this(), request](NotificationPresentationOptions options) {
                             auto self = weak.lock();
                             if (self && options.alert)
                                 mainQueue().async([self, request] { self->show(request); });
                         });
}

void UserNotificationCenter::show(const UserNotificationRequest& request)
{
    {
        std::lock_guard lock(mutex_);
        std::erase_if(delivered_, [&](const UserNotification& shown) {
            return shown.request.identifier == request.identifier;
        });
        delivered_.push_back({request, now()});
    }
    deliverImpl(request);
}

void UserNotificationCenter::saveLocked() const
{
    if (!storeFile_)
        return;
    PlistArray entries;
    for (const auto& entry : pending_)
        if (const auto* calendar = calendarTrigger(entry.request); calendar && entry.fireDate)
            entries.push_back(storedEntry(entry.request, *calendar, *entry.fireDate));
    auto& fm = FileManager::defaultManager();
    fm.createDirectory(storeFile_->parent_path());
    // Every start opens the store: a file that says so already is not written again.
    if (!fm.writeFileAtomicallyIfChanged(*storeFile_, plistToBytes(PlistValue(std::move(entries))), 0600))
        LOG_ERROR("cannot write the reminders to " + storeFile_->string());
}

void UserNotificationCenter::openStore(const std::filesystem::path& file)
{
    std::vector<UserNotificationRequest> missed;
    std::vector<std::pair<std::string, Pending>> toArm;
    const TimePoint moment = now();
    {
        std::lock_guard lock(mutex_);
        storeFile_ = file;
        FileManager::defaultManager().removeStrayTemporaryFiles(file);
        const auto stored = readPlistFile(file);
        const auto* entries = stored ? stored->asArray() : nullptr;
        for (const auto& value : entries ? *entries : PlistArray{}) {
            auto read = readEntry(value);
            if (!read)
                continue;
            auto& [request, fireDate] = *read;
            const bool known = std::any_of(pending_.begin(), pending_.end(), [&identifier = request.identifier](const Pending& entry) {
                return entry.request.identifier == identifier;
            });
            if (known)
                continue;
            Pending entry{request, nextGeneration_++, fireDate};
            if (fireDate <= moment) {
                missed.push_back(request);
                if (!calendarTrigger(request)->repeats || !arm(entry, moment))
                    continue;
            }
            pending_.push_back(entry);
            toArm.emplace_back(request.identifier, entry);
        }
        saveLocked();
    }
    for (const auto& [identifier, entry] : toArm)
        schedule(identifier, entry.generation,
                 std::min(kCalendarRecheck, std::chrono::ceil<std::chrono::milliseconds>(*entry.fireDate - moment)));
    for (auto& request : missed)
        mainQueue().async([weak = weak_from_this(), request] {
            if (auto self = weak.lock())
                self->present(request);
        });
}

std::vector<UserNotification> UserNotificationCenter::deliveredNotifications() const
{
    std::lock_guard lock(mutex_);
    return delivered_;
}

void UserNotificationCenter::removeDeliveredNotifications(const std::vector<std::string>& identifiers)
{
    {
        std::lock_guard lock(mutex_);
        std::erase_if(delivered_, [&](const UserNotification& shown) {
            return std::find(identifiers.begin(), identifiers.end(), shown.request.identifier) != identifiers.end();
        });
    }
    mainQueue().async([weak = weak_from_this(), identifiers] {
        if (auto self = weak.lock())
            for (const auto& identifier : identifiers)
                self->withdrawImpl(identifier);
    });
}

void UserNotificationCenter::setDelegate(std::weak_ptr<UserNotificationCenterDelegate> delegate)
{
    std::lock_guard lock(mutex_);
    delegate_ = std::move(delegate);
}

std::shared_ptr<UserNotificationCenterDelegate> UserNotificationCenter::delegate() const
{
    std::lock_guard lock(mutex_);
    return delegate_.lock();
}

void UserNotificationCenter::requestAuthorization(
    NotificationPresentationOptions, std::function<void(bool granted, std::optional<std::string> error)> completionHandler)
{
    globalQueue().async([self = shared_from_this(), completionHandler = std::move(completionHandler)] {
        completionHandler(self->notificationServiceAvailableImpl(), std::nullopt);
    });
}

void UserNotificationCenter::getNotificationSettings(std::function<void(NotificationSettings)> completionHandler)
{
    globalQueue().async([self = shared_from_this(), completionHandler = std::move(completionHandler)] {
        NotificationSettings settings;
        settings.authorizationStatus = self->notificationServiceAvailableImpl()
                                           ? NotificationAuthorizationStatus::authorized
                                           : NotificationAuthorizationStatus::denied;
        completionHandler(settings);
    });
}

void UserNotificationCenter::didActivate(const std::string& identifier, const std::string& actionIdentifier)
{
    // The user turned to the application: its window comes forward before anything acts on the
    // click (a landing page loads into it).
    if (const auto& application = current().application; application && application->delegate())
        if (Window* window = application->delegate()->keyWindow())
            window->bringToFront();
    std::optional<UserNotification> notification;
    {
        std::lock_guard lock(mutex_);
        auto found = std::find_if(delivered_.begin(), delivered_.end(),
                                  [&](const UserNotification& shown) { return shown.request.identifier == identifier; });
        if (found == delivered_.end())
            return;
        notification = *found;
        delivered_.erase(found);
    }
    if (auto handler = delegate())
        handler->didReceive(*this, {*notification, actionIdentifier}, [] {});
}

UserNotificationCenter* currentUserNotificationCenter()
{
    return current().userNotificationCenter.get();
}

} // namespace platform
