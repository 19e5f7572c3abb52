#include "platform/linux/NominatimGeocoder.h"

#include "platform/linux/GObjectPtr.h"
#include "platform/linux/GuardedCall.h"

#include <geocode-glib/geocode-glib.h>

#include <cstdlib>

namespace platform {
namespace {

std::optional<std::string> part(const char* text)
{
    if (!text || !*text)
        return std::nullopt;
    return std::string(text);
}

Placemark placemarkOf(GeocodePlace* place)
{
    Placemark placemark;
    placemark.thoroughfare = part(geocode_place_get_street(place));
    placemark.subThoroughfare = part(geocode_place_get_building(place));
    placemark.locality = part(geocode_place_get_town(place));
    placemark.subLocality = part(geocode_place_get_area(place));
    placemark.administrativeArea = part(geocode_place_get_state(place));
    placemark.postalCode = part(geocode_place_get_postal_code(place));
    placemark.country = part(geocode_place_get_country(place));
    return placemark;
}

} // namespace

NominatimGeocoder::NominatimGeocoder(std::string baseURL, std::string contactEmail)
    : baseURL_(std::move(baseURL)), contactEmail_(std::move(contactEmail))
{
}

std::string NominatimGeocoder::configuredBaseURL()
{
    const char* configured = std::getenv("WEBCONTAINER_NOMINATIM_URL");
    return configured && *configured ? configured : "https://nominatim.openstreetmap.org";
}

void NominatimGeocoder::reverseGeocodeLocation(const Location& location, Completion completion)
{
    auto backend = gtk::GObjectPtr<GeocodeNominatim>::adopt(geocode_nominatim_new(baseURL_.c_str(), contactEmail_.c_str()));
    auto where = gtk::GObjectPtr<GeocodeLocation>::adopt(geocode_location_new(
        location.latitude, location.longitude,
        location.horizontalAccuracy >= 0 ? location.horizontalAccuracy : GEOCODE_LOCATION_ACCURACY_UNKNOWN));
    auto* reverse = geocode_reverse_new_for_location(where.get());
    geocode_reverse_set_backend(reverse, GEOCODE_BACKEND(backend.get()));
    // The reverse object (which holds the backend) lives until its answer.
    geocode_reverse_resolve_async(
        reverse, nullptr,
        [](GObject* source, GAsyncResult* result, gpointer data) {
            std::unique_ptr<Completion> completion(static_cast<Completion*>(data));
            g_autoptr(GError) error = nullptr;
            g_autoptr(GeocodePlace) place = geocode_reverse_resolve_finish(GEOCODE_REVERSE(source), result, &error);
            g_object_unref(source);
            gtk::guardedCall("address answer", [&] {
                if (!place)
                    (*completion)({}, std::string(error ? error->message : "No address was found."));
                else
                    (*completion)({placemarkOf(place)}, std::nullopt);
            });
        },
        new Completion(std::move(completion)));
}

} // namespace platform
