#pragma once
// A notification centre that records the notifications it delivers instead of showing them.
// Pending requests, replacement and triggers are the real centre's rules.

#include "platform/UserNotificationCenter.h"

#include <vector>

namespace testsupport {

class FakeUserNotificationCenter final : public platform::UserNotificationCenter {
public:
    std::vector<platform::UserNotificationRequest> delivered;

protected:
    void deliverImpl(const platform::UserNotificationRequest& request) override { delivered.push_back(request); }
};

} // namespace testsupport
