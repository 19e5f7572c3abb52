#pragma once
// Positions from the desktop's location service, GeoClue2 on the system bus (libgeoclue-2).
//
// Authorisation: GeoClue's agent asks the user when a client starts, not beforehand. So asking
// for when-in-use permission marks the application as permitted while the service is there;
// a refusal by the agent comes with the next position request, which then fails and leaves the
// status denied. Each position request starts a client, takes its first position and stops it;
// one that brings no position within `timeout` fails.
//
// Main thread only; see platform/LocationManager.h.

#include "platform/LocationManager.h"

#include <chrono>
#include <memory>
#include <string>

namespace platform {

class GeoClueLocationManager final : public LocationManager {
public:
    // `desktopId`: the application's desktop file name without ".desktop", which GeoClue's
    // agent shows and authorises.
    explicit GeoClueLocationManager(std::string desktopId,
                                    std::chrono::milliseconds timeout = std::chrono::seconds(30));
    ~GeoClueLocationManager() override;

    bool locationServicesEnabled() override;
    LocationAuthorizationStatus authorizationStatus() override;
    void requestWhenInUseAuthorization() override;
    void requestLocation() override;

private:
    struct Request;

    void finish(Request& request);

    const std::string desktopId_;
    const std::chrono::milliseconds timeout_;
    LocationAuthorizationStatus status_ = LocationAuthorizationStatus::notDetermined;
    // Reached by the requests' callbacks, which may outlive this manager.
    std::shared_ptr<GeoClueLocationManager*> self_;
};

} // namespace platform
