#pragma once
// A notification centre that records the notifications it delivers instead of showing them.
// Pending requests, replacement, triggers, the store and the delegate are the real centre's
// rules; the test plays the desktop: whether a notification service is there, and the user's
// click on a shown notification.

#include "platform/UserNotificationCenter.h"

#include <atomic>
#include <vector>

namespace testsupport {

class FakeUserNotificationCenter final : public platform::UserNotificationCenter {
public:
    std::vector<platform::UserNotificationRequest> delivered;
    std::vector<std::string> withdrawn;
    // Whether the desktop has a notification service (permission granted, status authorized).
    std::atomic<bool> serviceAvailable{true};

    // The user clicked the shown notification `identifier`.
    void click(const std::string& identifier) { didActivate(identifier, platform::UserNotificationDefaultActionIdentifier); }

protected:
    void deliverImpl(const platform::UserNotificationRequest& request) override { delivered.push_back(request); }
    void withdrawImpl(const std::string& identifier) override { withdrawn.push_back(identifier); }
    bool notificationServiceAvailableImpl() override { return serviceAvailable; }
};

} // namespace testsupport
