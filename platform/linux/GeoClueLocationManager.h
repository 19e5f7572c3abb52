#pragma once
// Positions from the desktop's location service, GeoClue2 on the system bus (libgeoclue-2).
//
// Whether location services are enabled: GeoClue runs, or the system bus can start it, asked on
// the bus without waiting for the answer.
//
// Authorisation: GeoClue's agent asks the user when a client starts, not beforehand. So asking
// for when-in-use permission marks the application as permitted once the service is found there;
// a refusal by the agent comes with the next position request, which then fails and leaves the
// status denied. Each position request starts a client, takes its first position and stops it;
// one that brings no position within `timeout` fails.
//
// Main thread only; see platform/LocationManager.h.

#include "platform/LocationManager.h"

#include <chrono>
#include <memory>
#include <functional>
#include <string>
#include <vector>

namespace platform {

class GeoClueLocationManager final : public LocationManager {
public:
    // `desktopId`: the application's desktop file name without ".desktop", which GeoClue's
    // agent shows and authorises.
    explicit GeoClueLocationManager(std::string desktopId,
                                    std::chrono::milliseconds timeout = std::chrono::seconds(30));
    ~GeoClueLocationManager() override;

    void locationServicesEnabled(std::function<void(bool)> completion) override;
    LocationAuthorizationStatus authorizationStatus() override;
    void requestWhenInUseAuthorization() override;
    void requestLocation() override;

private:
    struct Request;
    struct ServiceCheck;

    void finish(Request& request);
    // Starts a look for the service unless one is under way; its answer goes to serviceChecked.
    void checkService();
    void serviceChecked(bool there);

    const std::string desktopId_;
    const std::chrono::milliseconds timeout_;
    LocationAuthorizationStatus status_ = LocationAuthorizationStatus::notDetermined;
    // The look for the service under way, who waits for its answer, and whether permission was
    // asked for meanwhile (granted when the service is there).
    bool checking_ = false;
    std::vector<std::function<void(bool)>> waiting_;
    bool authorizationAsked_ = false;
    // Reached by the requests' callbacks, which may outlive this manager.
    std::shared_ptr<GeoClueLocationManager*> self_;
};

} // namespace platform
