#include "services/LocationServices.h"

#include "base/SharedInstances.h"
#include "logger/Logger.h"
#include "platform/Platform.h"
#include "portable/Check.h"
#include "portable/Dispatch.h"

#include <utility>

namespace {

constexpr auto kReplaceBadUTF8 = nlohmann::json::error_handler_t::replace;

// {"value":"<text>"} with the text escaped.
std::string valueReply(const std::string& text)
{
    return nlohmann::json{{"value", text}}.dump(-1, ' ', false, kReplaceBadUTF8);
}

} // namespace

platform::LocationManager* LocationServices::locManager()
{
    if (!std::exchange(madeManager_, true)) {
        const auto& make = platform::current().makeLocationManager;
        locManager_ = make ? make() : nullptr;
        if (locManager_)
            locManager_->locationServicesEnabled([weak = weak_from_this()](bool enabled) {
                const auto self = weak.lock();
                if (!self)
                    return;
                if (enabled) {
                    self->locManager_->setDelegate(self);
                    self->locManager_->desiredAccuracy = platform::LocationAccuracy::nearestTenMeters;
                }
                self->managerChecked_ = true;
                for (auto& then : std::exchange(self->waitingForManager_, {}))
                    then(*self->locManager_);
            });
    }
    return locManager_.get();
}

void LocationServices::withCheckedManager(std::function<void(platform::LocationManager&)> then)
{
    auto* manager = locManager();
    if (!manager)
        return;
    if (managerChecked_)
        then(*manager);
    else
        waitingForManager_.push_back(std::move(then));
}

void LocationServices::isAbleToLocate(std::function<void(bool able)> completion)
{
    platform::requireMainThread();
    auto* manager = locManager();
    if (!manager) {
        completion(false);
        return;
    }
    manager->requestWhenInUseAuthorization();
    manager->locationServicesEnabled([weak = weak_from_this(), completion = std::move(completion)](bool enabled) {
        const auto self = weak.lock();
        completion(enabled && self && self->locManager_->authorizationStatus() == inUse);
    });
}

void LocationServices::getLocation(const std::string& callback, std::weak_ptr<platform::WebView> webView)
{
    platform::requireMainThread();
    this->callback = callback;
    this->webView = std::move(webView);
    withCheckedManager([](platform::LocationManager& manager) { manager.requestLocation(); });
}

std::vector<std::string> LocationServices::formattedAddressLines(const platform::Placemark& placemark)
{
    std::vector<std::string> lines;
    for (const auto* part : {&placemark.thoroughfare, &placemark.subThoroughfare, &placemark.locality,
                             &placemark.subLocality, &placemark.administrativeArea, &placemark.postalCode,
                             &placemark.country})
        if (*part)
            lines.push_back(**part);
    return lines;
}

void LocationServices::getAdress(std::function<void(AddressResult)> completion)
{
    auto* manager = locManager();
    if (!manager || manager->authorizationStatus() != inUse || !currentLocation)
        return;
    const auto& make = platform::current().makeGeocoder;
    const auto geocoder = make ? make() : nullptr;
    if (!geocoder)
        return;
    geocoder->reverseGeocodeLocation(
        *currentLocation, [completion = std::move(completion)](std::vector<platform::Placemark> placemarks,
                                                               std::optional<std::string> error) {
            if (error) {
                completion(*error);
                return;
            }
            // An answer without an error and without a place still tells the page why.
            if (placemarks.empty()) {
                completion(std::string("No address was found for this position."));
                return;
            }
            nlohmann::json address = {{"FormattedAddressLines", formattedAddressLines(placemarks.front())}};
            LOG_DEBUG("LOCATIONSERVICE address: " + address.dump(-1, ' ', false, kReplaceBadUTF8));
            completion(std::move(address));
        });
}

void LocationServices::didUpdateLocations(platform::LocationManager&, const std::vector<platform::Location>& locations)
{
    if (locations.empty())
        return;
    const platform::Location location = locations.back();
    LOG_DEBUG("GPS Location found:" + location.description());
    currentLocation = location;
    getAdress([weak = weak_from_this(), location](AddressResult result) {
        if (const auto self = weak.lock())
            self->addressFound(location, std::move(result));
    });
}

void LocationServices::addressFound(const platform::Location& location, AddressResult result) const
{
    if (const auto* error = std::get_if<std::string>(&result)) {
        answer(valueReply(*error));
        return;
    }
    auto address = std::get<nlohmann::json>(std::move(result));
    if (!address.is_object() || address.empty())
        return;
    address["GPSStamp"] = location.description();
    std::string text;
    try {
        // Strict: a part that is no UTF-8 is a failure to write the JSON, reported as such.
        text = address.dump();
    } catch (const nlohmann::json::exception& error) {
        LOG_ERROR(std::string("Error during JSONSerialization ") + error.what());
        text = valueReply(std::string("Error fetching location data: ") + error.what());
    }
    platform::mainQueue().async([self = shared_from_this(), text] { self->answer(text); });
}

void LocationServices::didFailWithError(platform::LocationManager&, const std::string& localizedDescription)
{
    LOG_ERROR("Failed to find user's location: " + localizedDescription);
    platform::mainQueue().async([self = shared_from_this(), text = valueReply("GPS ERROR-86: " + localizedDescription)] {
        self->answer(text);
    });
}

void LocationServices::answer(const std::string& text) const
{
    PageReply(webView, callback).send(text);
}

LocationServices& sharedLocationServices()
{
    return SharedInstances::get<LocationServices>();
}
