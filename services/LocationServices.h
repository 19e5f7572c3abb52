#pragma once
// The device's position with its postal address, for the page. The page asks whether it may
// locate the device (isAbleToLocate) and for one position (getLocation); the answer goes to
// the page function named by the request, in the web view it came from, as JSON text:
//   {"FormattedAddressLines":["Street","12","Town",…],"GPSStamp":"<position description>"}
// or, on failure, {"value":"<why>"}: the geocoder's error text, "Error fetching location data:
// <why>" when the answer cannot be written as JSON, "GPS ERROR-86: <why>" when no position
// could be had. Every text is put into the JSON escaped.
//
// Only the latest request is remembered: a second one before the first is answered takes its
// answer. Without location services at start, or without when-in-use permission when the
// address is looked up, the page gets no answer (a refused permission shows as a failure of the
// location manager, which is answered).
//
// Threads: main thread only; the manager and the geocoder answer on the main queue, and
// nothing here waits for them (asking the system whether it can locate may take a while). The
// composition root builds the one shared instance, the delegate of its own location manager;
// it holds the web view weakly.

#include "base/PageReply.h"
#include "platform/Geocoder.h"
#include "platform/LocationManager.h"

#include <nlohmann/json.hpp>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

class LocationServices : public platform::LocationManagerDelegate,
                         public std::enable_shared_from_this<LocationServices> {
public:
    // The address of a position ({"FormattedAddressLines": [...]}) or the geocoder's error text.
    using AddressResult = std::variant<nlohmann::json, std::string>;

    // The location manager, made from the installed platform on first use (the shared instances
    // are built before the platform is installed); this object becomes its delegate once the
    // manager has said that location services are enabled, aiming at the nearest ten metres.
    // Null without one on this platform: then every request goes unanswered.
    platform::LocationManager* locManager();
    std::optional<platform::Location> currentLocation;
    std::string callback;
    std::weak_ptr<platform::WebView> webView;
    static constexpr platform::LocationAuthorizationStatus inUse = platform::LocationAuthorizationStatus::authorizedWhenInUse;

    // Asks for when-in-use permission, then tells `completion` (on the main queue, or at once
    // without a location manager): location services are enabled and that permission is given.
    void isAbleToLocate(std::function<void(bool able)> completion);
    // Keeps `callback` and `webView` for the answer (replacing earlier ones) and asks for one
    // position, once the manager has said whether location services are enabled.
    void getLocation(const std::string& callback, std::weak_ptr<platform::WebView> webView);
    // Reverse-geocodes currentLocation, when permitted; otherwise `completion` never runs.
    void getAdress(std::function<void(AddressResult)> completion);

    // The address lines of a placemark: street, house number, town, district, region, postal
    // code and country, the absent ones left out.
    static std::vector<std::string> formattedAddressLines(const platform::Placemark& placemark);

    void didUpdateLocations(platform::LocationManager& manager, const std::vector<platform::Location>& locations) override;
    void didFailWithError(platform::LocationManager& manager, const std::string& localizedDescription) override;

private:
    std::shared_ptr<platform::LocationManager> locManager_;
    bool madeManager_ = false;
    // Whether the manager has said if location services are enabled; what waits for that.
    bool managerChecked_ = false;
    std::vector<std::function<void(platform::LocationManager&)>> waitingForManager_;

    // Runs `then` with the manager once it has said whether location services are enabled.
    void withCheckedManager(std::function<void(platform::LocationManager&)> then);

    // Answers the page of the latest request with `text`.
    void answer(const std::string& text) const;
    void addressFound(const platform::Location& location, AddressResult result) const;
};

// The shared instance, built by the composition root. Main thread only.
LocationServices& sharedLocationServices();
