// Position and address on the real components: reverse geocoding through geocode-glib's
// Nominatim backend against a loopback Nominatim double, and the GeoClue location manager on a
// machine without the GeoClue service (the service itself cannot run in a test; the answers
// with a position are tested through the platform's double, in the unit tests).

#include "platform/Dispatch.h"
#include "platform/linux/GeoClueLocationManager.h"
#include "platform/linux/NominatimGeocoder.h"
#include "tests/support/TestContentServer.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

namespace {

using Reply = testsupport::TestContentServer::Reply;

const char* const kAddress = R"({"place_id":1,"osm_type":"node","osm_id":7,"lat":"52.52","lon":"13.405",
  "category":"building","type":"house","display_name":"12, Main \"Street\", Mitte, Berlin, 10115, Germany",
  "address":{"house_number":"12","road":"Main \"Street\"","suburb":"Mitte","city":"Berlin","state":"Berlin",
  "postcode":"10115","country":"Germany","country_code":"de"}})";

struct Outcome {
    std::vector<platform::Placemark> placemarks;
    std::optional<std::string> error;
};

std::optional<Outcome> resolve(const std::string& baseURL)
{
    platform::Location location;
    location.latitude = 52.52;
    location.longitude = 13.405;
    location.horizontalAccuracy = 10;
    std::optional<Outcome> outcome;
    platform::NominatimGeocoder(baseURL, "").reverseGeocodeLocation(location, [&](auto placemarks, auto error) {
        outcome = Outcome{std::move(placemarks), std::move(error)};
    });
    platform::runMainLoopUntil([&] { return outcome.has_value(); }, std::chrono::seconds(20));
    return outcome;
}

} // namespace

TEST(NominatimGeocoder, ReverseGeocodesThroughTheConfiguredServer)
{
    testsupport::TestContentServer server;
    server.reply("/reverse", Reply{}.withHeader("Content-Type", "application/json").withBody(kAddress));
    const auto outcome = resolve(server.origin());
    ASSERT_TRUE(outcome);
    ASSERT_FALSE(outcome->error) << *outcome->error;
    ASSERT_EQ(outcome->placemarks.size(), 1u);
    const auto& place = outcome->placemarks[0];
    EXPECT_EQ(place.thoroughfare, "Main \"Street\"");
    EXPECT_EQ(place.subThoroughfare, "12");
    EXPECT_EQ(place.locality, "Berlin");
    EXPECT_EQ(place.subLocality, "Mitte");
    EXPECT_EQ(place.administrativeArea, "Berlin");
    EXPECT_EQ(place.postalCode, "10115");
    EXPECT_EQ(place.country, "Germany");
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_NE(server.requests()[0].query.find("lat=52.52"), std::string::npos) << server.requests()[0].query;
    EXPECT_NE(server.requests()[0].query.find("lon=13.40"), std::string::npos) << server.requests()[0].query;
}

TEST(NominatimGeocoder, ServerErrorsComeBackAsErrorTexts)
{
    const Reply replies[] = {
        Reply{}.withHeader("Content-Type", "application/json").withBody(R"({"error":"Unable to geocode"})"),
        Reply{}.withStatus(500).withBody("broken"),
        Reply{}.withHeader("Content-Type", "application/json").withBody("{not json"),
    };
    for (const auto& reply : replies) {
        testsupport::TestContentServer server;
        server.reply("/reverse", reply);
        const auto outcome = resolve(server.origin());
        ASSERT_TRUE(outcome);
        EXPECT_TRUE(outcome->placemarks.empty());
        ASSERT_TRUE(outcome->error);
        EXPECT_FALSE(outcome->error->empty());
    }
}

TEST(GeoClueLocationManager, WithoutTheServiceLocatingIsOffAndARequestFails)
{
    testsupport::ScopedEnvironment noBus{{"DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/system_bus_socket"}};
    struct Delegate : platform::LocationManagerDelegate {
        std::vector<platform::Location> locations;
        std::optional<std::string> failure;
        void didUpdateLocations(platform::LocationManager&, const std::vector<platform::Location>& found) override
        {
            locations = found;
        }
        void didFailWithError(platform::LocationManager&, const std::string& why) override { failure = why; }
    };
    auto delegate = std::make_shared<Delegate>();
    platform::GeoClueLocationManager manager("org.webcontainer.test", std::chrono::seconds(5));
    manager.setDelegate(delegate);
    EXPECT_FALSE(manager.locationServicesEnabled());
    manager.requestWhenInUseAuthorization();
    EXPECT_EQ(manager.authorizationStatus(), platform::LocationAuthorizationStatus::notDetermined);
    manager.requestLocation();
    EXPECT_FALSE(delegate->failure) << "reported later, on the main queue";
    ASSERT_TRUE(platform::runMainLoopUntil([&] { return delegate->failure.has_value(); }, std::chrono::seconds(10)));
    EXPECT_FALSE(delegate->failure->empty());
    EXPECT_TRUE(delegate->locations.empty());
}
