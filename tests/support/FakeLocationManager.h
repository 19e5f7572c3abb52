#pragma once
// A location manager the test plays: whether location services are on, what the user answers
// to the permission request, and the positions or failures the device reports.

#include "platform/LocationManager.h"
#include "portable/Dispatch.h"

namespace testsupport {

class FakeLocationManager final : public platform::LocationManager {
public:
    bool enabled = true;
    // The status the permission request leads to.
    platform::LocationAuthorizationStatus answer = platform::LocationAuthorizationStatus::authorizedWhenInUse;
    platform::LocationAuthorizationStatus status = platform::LocationAuthorizationStatus::notDetermined;
    int permissionRequests = 0;
    int locationRequests = 0;

    void locationServicesEnabled(std::function<void(bool)> completion) override
    {
        platform::mainQueue().async([completion = std::move(completion), on = enabled] { completion(on); });
    }
    platform::LocationAuthorizationStatus authorizationStatus() override { return status; }
    void requestWhenInUseAuthorization() override
    {
        ++permissionRequests;
        if (status == platform::LocationAuthorizationStatus::notDetermined)
            status = answer;
    }
    void requestLocation() override { ++locationRequests; }

    // The device reports `locations` / a failure.
    void report(const std::vector<platform::Location>& locations)
    {
        if (const auto target = delegate())
            target->didUpdateLocations(*this, locations);
    }
    void fail(const std::string& why)
    {
        if (const auto target = delegate())
            target->didFailWithError(*this, why);
    }
};

} // namespace testsupport
