#pragma once
// Reverse geocoding: the postal address of a position, as placemarks (the best first).
//
// Threads: main thread only; the completion runs on the main queue, after the call returns.
// Lifetimes: a geocoder keeps itself alive until its completion has run.

#include "platform/LocationManager.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// The parts of a postal address; a part the address lacks is empty.
struct Placemark {
    std::optional<std::string> thoroughfare;    // street
    std::optional<std::string> subThoroughfare; // house number
    std::optional<std::string> locality;        // town
    std::optional<std::string> subLocality;     // district
    std::optional<std::string> administrativeArea; // state or region
    std::optional<std::string> postalCode;
    std::optional<std::string> country;
};

class Geocoder {
public:
    // The placemarks found, or the error's localized description.
    using Completion = std::function<void(std::vector<Placemark> placemarks, std::optional<std::string> error)>;

    virtual ~Geocoder() = default;
    virtual void reverseGeocodeLocation(const Location& location, Completion completion) = 0;
};

} // namespace platform
