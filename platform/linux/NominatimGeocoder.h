#pragma once
// Reverse geocoding through a Nominatim server (geocode-glib's Nominatim backend, libsoup).
// The server's base URL is given, so a test points it at a loopback server. TLS certificates
// are verified as libsoup does by default.
//
// Main thread only; see platform/Geocoder.h.

#include "platform/Geocoder.h"

#include <string>

namespace platform {

class NominatimGeocoder final : public Geocoder {
public:
    // `baseURL`: the server, such as "https://nominatim.example.org"; `contactEmail`: sent with
    // each request as the server's usage rules ask (may be empty).
    NominatimGeocoder(std::string baseURL, std::string contactEmail);

    void reverseGeocodeLocation(const Location& location, Completion completion) override;

    // The base URL the Linux platform uses: $WEBCONTAINER_NOMINATIM_URL, else the public server.
    static std::string configuredBaseURL();

private:
    const std::string baseURL_;
    const std::string contactEmail_;
};

} // namespace platform
