#pragma once
// The device's position: a location manager reports one position when asked (requestLocation)
// to its delegate, or the reason it could not. Whether the application may locate the device at
// all is its authorisation: asked for once (requestWhenInUseAuthorization), read at any time.
//
// Threads: main thread only; the delegate is called on the main queue, after the call that
// asked returns. Lifetimes: the delegate is held weakly; a manager that is gone reports nothing.

#include "platform/Clock.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// One position and how good it is; a negative accuracy, speed or course is unknown.
struct Location {
    double latitude = 0;
    double longitude = 0;
    double altitude = 0;
    double horizontalAccuracy = -1;
    double verticalAccuracy = -1;
    double speed = -1;
    double course = -1;
    TimePoint timestamp{};

    // "<+52.52000000,+13.40500000> +/- 10.00m (speed -1.00 mps / course -1.00) @ 2026-01-31 08:30:00 +0100",
    // the time stamp in local time.
    std::string description() const;
};

enum class LocationAuthorizationStatus {
    notDetermined = 0,
    restricted = 1,
    denied = 2,
    authorizedAlways = 3,
    authorizedWhenInUse = 4,
};

class LocationManager;

class LocationManagerDelegate {
public:
    virtual ~LocationManagerDelegate() = default;
    // New positions, the latest last.
    virtual void didUpdateLocations(LocationManager& manager, const std::vector<Location>& locations) = 0;
    // No position could be had; `localizedDescription` says why.
    virtual void didFailWithError(LocationManager& manager, const std::string& localizedDescription) = 0;
};

// The accuracy a manager aims at.
enum class LocationAccuracy { best, nearestTenMeters, hundredMeters, kilometer };

class LocationManager {
public:
    virtual ~LocationManager() = default;

    void setDelegate(std::weak_ptr<LocationManagerDelegate> delegate) { delegate_ = std::move(delegate); }
    std::shared_ptr<LocationManagerDelegate> delegate() const { return delegate_.lock(); }
    LocationAccuracy desiredAccuracy = LocationAccuracy::best;

    // Whether the device can locate itself at all (a location service is there and switched
    // on), told to `completion` on the main queue after this call returns: asking the system may
    // take a while, and the main thread never waits for it.
    virtual void locationServicesEnabled(std::function<void(bool enabled)> completion) = 0;
    virtual LocationAuthorizationStatus authorizationStatus() = 0;
    // Asks for permission while the application is in use; the first call may ask the user,
    // later ones change nothing. The status changes later, when the answer comes, and at the
    // latest by the time a locationServicesEnabled() asked after this call answers.
    virtual void requestWhenInUseAuthorization() = 0;
    // Asks for one position, reported to the delegate (or its failure).
    virtual void requestLocation() = 0;

private:
    std::weak_ptr<LocationManagerDelegate> delegate_;
};

} // namespace platform
