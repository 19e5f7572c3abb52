// Position and address on the real components: reverse geocoding through geocode-glib's
// Nominatim backend against a loopback Nominatim double, and the GeoClue location manager (with
// libgeoclue) against a scripted GeoClue service on a private bus standing for the system bus,
// and with no service at all. The GeoClue service itself cannot run in a test.

#include "platform/linux/GeoClueLocationManager.h"
#include "platform/linux/NominatimGeocoder.h"
#include "portable/Dispatch.h"
#include "tests/support/PrivateSessionBus.h"
#include "tests/support/TestContentServer.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

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

// Whether `manager` says location services are enabled; nothing when it gives no answer in time.
std::optional<bool> servicesEnabled(platform::LocationManager& manager)
{
    std::optional<bool> enabled;
    manager.locationServicesEnabled([&](bool on) { enabled = on; });
    platform::runMainLoopUntil([&] { return enabled.has_value(); }, std::chrono::seconds(20));
    return enabled;
}

// What a location manager reports.
struct RecordingDelegate : platform::LocationManagerDelegate {
    std::vector<platform::Location> locations;
    std::optional<std::string> failure;
    void didUpdateLocations(platform::LocationManager&, const std::vector<platform::Location>& found) override
    {
        locations = found;
    }
    void didFailWithError(platform::LocationManager&, const std::string& why) override { failure = why; }
};

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
    auto delegate = std::make_shared<RecordingDelegate>();
    platform::GeoClueLocationManager manager("org.webcontainer.test", std::chrono::seconds(5));
    manager.setDelegate(delegate);
    manager.requestWhenInUseAuthorization();
    EXPECT_EQ(servicesEnabled(manager), false);
    EXPECT_EQ(manager.authorizationStatus(), platform::LocationAuthorizationStatus::notDetermined);
    manager.requestLocation();
    EXPECT_FALSE(delegate->failure) << "reported later, on the main queue";
    ASSERT_TRUE(platform::runMainLoopUntil([&] { return delegate->failure.has_value(); }, std::chrono::seconds(10)));
    EXPECT_FALSE(delegate->failure->empty());
    EXPECT_TRUE(delegate->locations.empty());
}

namespace {

constexpr const char* kGeoClueXml = R"xml(
<node>
  <interface name="org.freedesktop.GeoClue2.Manager">
    <property name="InUse" type="b" access="read"/>
    <property name="AvailableAccuracyLevel" type="u" access="read"/>
    <method name="GetClient"><arg name="client" type="o" direction="out"/></method>
    <method name="CreateClient"><arg name="client" type="o" direction="out"/></method>
    <method name="DeleteClient"><arg name="client" type="o" direction="in"/></method>
    <method name="AddAgent"><arg name="id" type="s" direction="in"/></method>
  </interface>
  <interface name="org.freedesktop.GeoClue2.Client">
    <property name="Location" type="o" access="read"/>
    <property name="DistanceThreshold" type="u" access="readwrite"/>
    <property name="TimeThreshold" type="u" access="readwrite"/>
    <property name="DesktopId" type="s" access="readwrite"/>
    <property name="RequestedAccuracyLevel" type="u" access="readwrite"/>
    <property name="Active" type="b" access="read"/>
    <method name="Start"/>
    <method name="Stop"/>
    <signal name="LocationUpdated"><arg name="old" type="o"/><arg name="new" type="o"/></signal>
  </interface>
  <interface name="org.freedesktop.GeoClue2.Location">
    <property name="Latitude" type="d" access="read"/>
    <property name="Longitude" type="d" access="read"/>
    <property name="Accuracy" type="d" access="read"/>
    <property name="Altitude" type="d" access="read"/>
    <property name="Speed" type="d" access="read"/>
    <property name="Heading" type="d" access="read"/>
    <property name="Description" type="s" access="read"/>
    <property name="Timestamp" type="(tt)" access="read"/>
  </interface>
</node>)xml";

constexpr const char* kClientPath = "/org/freedesktop/GeoClue2/Client/1";
constexpr const char* kLocationPath = "/org/freedesktop/GeoClue2/Location/1";

// The bus standing for the system bus, one for the whole process: GLib keeps its system-bus
// connection, so a repeated run finds the same bus again. The session bus stays as it was.
const testsupport::PrivateSessionBus& systemBus()
{
    static const auto* bus = [] {
        const char* session = std::getenv("DBUS_SESSION_BUS_ADDRESS");
        const std::optional<std::string> saved = session ? std::optional<std::string>(session) : std::nullopt;
        auto* made = new testsupport::PrivateSessionBus();
        if (saved)
            ::setenv("DBUS_SESSION_BUS_ADDRESS", saved->c_str(), 1);
        else
            ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
        // Stopped when the process ends, with its connections.
        static std::unique_ptr<testsupport::PrivateSessionBus> owner(made);
        return made;
    }();
    return *bus;
}

// A GeoClue service as far as libgeoclue's simple client needs one: one client, which the user
// allows or refuses, and one fixed position reported when the client starts.
class ScriptedGeoClue {
public:
    explicit ScriptedGeoClue(bool allowed) : allowed_(allowed), connection_(systemBus().connect("org.freedesktop.GeoClue2"))
    {
        node_ = g_dbus_node_info_new_for_xml(kGeoClueXml, nullptr);
        static const GDBusInterfaceVTable vtable = {&ScriptedGeoClue::onCall, &ScriptedGeoClue::onGet,
                                                    &ScriptedGeoClue::onSet, {}};
        const char* paths[] = {"/org/freedesktop/GeoClue2/Manager", kClientPath, kLocationPath};
        for (int i = 0; i < 3; ++i)
            registrations_.push_back(g_dbus_connection_register_object(connection_, paths[i], node_->interfaces[i],
                                                                      &vtable, this, nullptr, nullptr));
    }
    ~ScriptedGeoClue()
    {
        for (const guint id : registrations_)
            g_dbus_connection_unregister_object(connection_, id);
        g_dbus_connection_close_sync(connection_, nullptr, nullptr);
        g_object_unref(connection_);
        g_dbus_node_info_unref(node_);
    }

    std::string desktopId;
    bool started = false;

private:
    static void onCall(GDBusConnection* connection, const gchar*, const gchar*, const gchar*, const gchar* method,
                       GVariant*, GDBusMethodInvocation* invocation, gpointer self)
    {
        auto& service = *static_cast<ScriptedGeoClue*>(self);
        const std::string name = method;
        if (name == "GetClient" || name == "CreateClient") {
            g_dbus_method_invocation_return_value(invocation, g_variant_new("(o)", kClientPath));
        } else if (name == "Start" && !service.allowed_) {
            g_dbus_method_invocation_return_dbus_error(invocation, "org.freedesktop.DBus.Error.AccessDenied",
                                                       "'org.webcontainer.test' disallowed, no agent for UID 0");
        } else if (name == "Start") {
            service.started = true;
            g_dbus_method_invocation_return_value(invocation, nullptr);
            g_dbus_connection_emit_signal(connection, nullptr, kClientPath, "org.freedesktop.GeoClue2.Client",
                                          "LocationUpdated", g_variant_new("(oo)", "/", kLocationPath), nullptr);
        } else {
            g_dbus_method_invocation_return_value(invocation, nullptr);
        }
    }
    static GVariant* onGet(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* property,
                           GError**, gpointer self)
    {
        auto& service = *static_cast<ScriptedGeoClue*>(self);
        const std::string name = property;
        if (name == "Latitude")
            return g_variant_new_double(52.52);
        if (name == "Longitude")
            return g_variant_new_double(13.405);
        if (name == "Accuracy")
            return g_variant_new_double(12.5);
        if (name == "Altitude" || name == "Speed" || name == "Heading")
            return g_variant_new_double(-G_MAXDOUBLE);
        if (name == "Timestamp")
            return g_variant_new("(tt)", guint64(1800000000), guint64(250000));
        if (name == "Location")
            return g_variant_new_object_path(service.started ? kLocationPath : "/");
        if (name == "DesktopId" || name == "Description")
            return g_variant_new_string(name == "DesktopId" ? service.desktopId.c_str() : "");
        if (name == "InUse" || name == "Active")
            return g_variant_new_boolean(service.started);
        return g_variant_new_uint32(name == "AvailableAccuracyLevel" ? 8 : 0);
    }
    static gboolean onSet(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* property,
                          GVariant* value, GError**, gpointer self)
    {
        if (std::string(property) == "DesktopId")
            static_cast<ScriptedGeoClue*>(self)->desktopId = g_variant_get_string(value, nullptr);
        return TRUE;
    }

    const bool allowed_;
    GDBusConnection* connection_;
    GDBusNodeInfo* node_ = nullptr;
    std::vector<guint> registrations_;
};

} // namespace

TEST(GeoClueLocationManager, TakesOnePositionFromTheServiceOrIsRefusedByIt)
{
    testsupport::ScopedEnvironment system{{"DBUS_SYSTEM_BUS_ADDRESS", systemBus().address()}};
    for (const bool allowed : {true, false}) {
        SCOPED_TRACE(allowed ? "allowed" : "refused");
        ScriptedGeoClue service(allowed);
        auto delegate = std::make_shared<RecordingDelegate>();
        platform::GeoClueLocationManager manager("org.webcontainer.test", std::chrono::seconds(10));
        manager.setDelegate(delegate);
        manager.requestWhenInUseAuthorization();
        EXPECT_EQ(servicesEnabled(manager), true);
        EXPECT_EQ(manager.authorizationStatus(), platform::LocationAuthorizationStatus::authorizedWhenInUse);
        manager.requestLocation();
        ASSERT_TRUE(platform::runMainLoopUntil([&] { return !delegate->locations.empty() || delegate->failure; },
                                               std::chrono::seconds(15)));
        EXPECT_EQ(service.desktopId, "org.webcontainer.test");
        if (allowed) {
            ASSERT_EQ(delegate->locations.size(), 1u);
            const auto& found = delegate->locations[0];
            EXPECT_DOUBLE_EQ(found.latitude, 52.52);
            EXPECT_DOUBLE_EQ(found.longitude, 13.405);
            EXPECT_DOUBLE_EQ(found.horizontalAccuracy, 12.5);
            EXPECT_EQ(found.speed, -1);
            EXPECT_EQ(found.timestamp, platform::TimePoint(std::chrono::seconds(1800000000) + std::chrono::microseconds(250000)));
        } else {
            EXPECT_TRUE(delegate->failure) << "the refusal is a failure";
            EXPECT_EQ(manager.authorizationStatus(), platform::LocationAuthorizationStatus::denied);
        }
        // Let the client's last calls to the service finish while it is still there.
        platform::runMainLoopUntil([] { return false; }, std::chrono::milliseconds(100));
    }
}

// Asking whether the service is there made calls on the system bus on the main thread: a slow
// bus froze the window (a stuck one for good: connecting has no time limit). The answer comes
// later instead, and the main loop goes on meanwhile.
TEST(GeoClueLocationManager, AskingWhetherTheServiceIsThereNeverHoldsUpTheMainLoop)
{
    testsupport::ScopedEnvironment system{{"DBUS_SYSTEM_BUS_ADDRESS", systemBus().address()}};
    ScriptedGeoClue service(true);
    platform::GeoClueLocationManager manager("org.webcontainer.test", std::chrono::seconds(10));
    // The bus answers nothing until the test lets it go on, or, should the main thread be stuck
    // waiting for it, until this guard does, so that the test fails instead of hanging.
    std::mutex mutex;
    std::condition_variable released;
    bool resumed = false;
    systemBus().suspend();
    std::thread guard([&] {
        std::unique_lock lock(mutex);
        if (!released.wait_for(lock, std::chrono::seconds(30), [&] { return resumed; }))
            systemBus().resume();
    });
    const auto resume = [&] {
        std::lock_guard lock(mutex);
        resumed = true;
        systemBus().resume();
        released.notify_one();
    };

    std::optional<bool> enabled;
    manager.requestWhenInUseAuthorization();
    manager.locationServicesEnabled([&](bool on) { enabled = on; });
    bool ranMeanwhile = false;
    platform::mainQueue().async([&] { ranMeanwhile = true; });
    const bool loopWent = platform::runMainLoopUntil([&] { return ranMeanwhile; }, std::chrono::seconds(20));
    const bool answeredEarly = enabled.has_value();
    resume();
    guard.join();
    EXPECT_TRUE(loopWent);
    EXPECT_FALSE(answeredEarly) << "answered before the bus could answer";
    ASSERT_TRUE(platform::runMainLoopUntil([&] { return enabled.has_value(); }, std::chrono::seconds(20)));
    EXPECT_TRUE(*enabled);
    EXPECT_EQ(manager.authorizationStatus(), platform::LocationAuthorizationStatus::authorizedWhenInUse);
}
