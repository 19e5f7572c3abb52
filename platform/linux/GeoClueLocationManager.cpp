#include "platform/linux/GeoClueLocationManager.h"

#include "logger/Logger.h"
#include "platform/Clock.h"
#include "platform/linux/GuardedCall.h"

#include <gio/gio.h>
#include <geoclue.h>

#include <cmath>
#include <memory>
#include <utility>

namespace platform {
namespace {

constexpr const char* kServiceName = "org.freedesktop.GeoClue2";
// How long a call on the system bus may take, in milliseconds.
constexpr int kBusCallTimeout = 2000;

GClueAccuracyLevel accuracyLevel(LocationAccuracy accuracy)
{
    switch (accuracy) {
    case LocationAccuracy::best:
    case LocationAccuracy::nearestTenMeters:
        return GCLUE_ACCURACY_LEVEL_EXACT;
    case LocationAccuracy::hundredMeters:
        return GCLUE_ACCURACY_LEVEL_STREET;
    case LocationAccuracy::kilometer:
        return GCLUE_ACCURACY_LEVEL_CITY;
    }
    return GCLUE_ACCURACY_LEVEL_EXACT;
}

Location locationOf(GClueLocation* found)
{
    Location location;
    location.latitude = gclue_location_get_latitude(found);
    location.longitude = gclue_location_get_longitude(found);
    location.horizontalAccuracy = gclue_location_get_accuracy(found);
    // GeoClue marks an unknown altitude, speed or heading with -G_MAXDOUBLE or a negative value.
    const double altitude = gclue_location_get_altitude(found);
    location.altitude = altitude > -G_MAXDOUBLE ? altitude : 0;
    location.verticalAccuracy = altitude > -G_MAXDOUBLE ? location.horizontalAccuracy : -1;
    location.speed = std::max(gclue_location_get_speed(found), -1.0);
    location.course = std::max(gclue_location_get_heading(found), -1.0);
    location.timestamp = platform::now();
    if (GVariant* stamp = gclue_location_get_timestamp(found); stamp && g_variant_is_of_type(stamp, G_VARIANT_TYPE("(tt)"))) {
        guint64 seconds = 0;
        guint64 micros = 0;
        g_variant_get(stamp, "(tt)", &seconds, &micros);
        location.timestamp = TimePoint(std::chrono::seconds(seconds) + std::chrono::microseconds(micros));
    }
    return location;
}

} // namespace

// One position request in flight: its client start, cancelled by the timeout.
struct GeoClueLocationManager::Request {
    std::weak_ptr<GeoClueLocationManager*> manager;
    GCancellable* cancellable = g_cancellable_new();
    guint timeoutSource = 0;
    GClueSimple* simple = nullptr;
    GError* error = nullptr;

    ~Request()
    {
        if (timeoutSource)
            g_source_remove(timeoutSource);
        g_clear_object(&simple);
        g_clear_error(&error);
        g_object_unref(cancellable);
    }
};

GeoClueLocationManager::GeoClueLocationManager(std::string desktopId, std::chrono::milliseconds timeout)
    : desktopId_(std::move(desktopId)), timeout_(timeout), self_(std::make_shared<GeoClueLocationManager*>(this))
{
}

GeoClueLocationManager::~GeoClueLocationManager() = default;

// One look at the system bus for the service: whether it runs, else whether the bus can start it.
struct GeoClueLocationManager::ServiceCheck {
    std::weak_ptr<GeoClueLocationManager*> manager;
    GDBusConnection* bus = nullptr;

    ~ServiceCheck() { g_clear_object(&bus); }

    // Tells the manager, when it is still there, and ends the check.
    static void end(ServiceCheck* check, bool there)
    {
        std::unique_ptr<ServiceCheck> owned(check);
        if (const auto manager = owned->manager.lock())
            gtk::guardedCall("location service check", [&] { (*manager)->serviceChecked(there); });
    }

    static void connected(GObject*, GAsyncResult* result, gpointer data)
    {
        auto* check = static_cast<ServiceCheck*>(data);
        check->bus = g_bus_get_finish(result, nullptr);
        if (!check->bus) {
            end(check, false);
            return;
        }
        g_dbus_connection_call(check->bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                               "NameHasOwner", g_variant_new("(s)", kServiceName), G_VARIANT_TYPE("(b)"),
                               G_DBUS_CALL_FLAGS_NONE, kBusCallTimeout, nullptr, owned, check);
    }

    static void owned(GObject*, GAsyncResult* result, gpointer data)
    {
        auto* check = static_cast<ServiceCheck*>(data);
        g_autoptr(GVariant) answer = g_dbus_connection_call_finish(check->bus, result, nullptr);
        gboolean running = FALSE;
        if (answer)
            g_variant_get(answer, "(b)", &running);
        if (running) {
            end(check, true);
            return;
        }
        g_dbus_connection_call(check->bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                               "ListActivatableNames", nullptr, G_VARIANT_TYPE("(as)"), G_DBUS_CALL_FLAGS_NONE,
                               kBusCallTimeout, nullptr, listed, check);
    }

    static void listed(GObject*, GAsyncResult* result, gpointer data)
    {
        auto* check = static_cast<ServiceCheck*>(data);
        g_autoptr(GVariant) answer = g_dbus_connection_call_finish(check->bus, result, nullptr);
        bool activatable = false;
        if (answer) {
            g_autofree const gchar** names = nullptr;
            g_variant_get(answer, "(^a&s)", &names);
            for (auto name = names; name && *name; ++name)
                activatable = activatable || g_str_equal(*name, kServiceName);
        }
        end(check, activatable);
    }
};

void GeoClueLocationManager::locationServicesEnabled(std::function<void(bool)> completion)
{
    waiting_.push_back(std::move(completion));
    checkService();
}

void GeoClueLocationManager::checkService()
{
    // One check at a time; whoever asks meanwhile gets its answer.
    if (std::exchange(checking_, true))
        return;
    g_bus_get(G_BUS_TYPE_SYSTEM, nullptr, ServiceCheck::connected, new ServiceCheck{self_});
}

void GeoClueLocationManager::serviceChecked(bool there)
{
    checking_ = false;
    if (std::exchange(authorizationAsked_, false) && there && status_ == LocationAuthorizationStatus::notDetermined)
        status_ = LocationAuthorizationStatus::authorizedWhenInUse;
    for (auto& completion : std::exchange(waiting_, {}))
        completion(there);
}

LocationAuthorizationStatus GeoClueLocationManager::authorizationStatus()
{
    return status_;
}

void GeoClueLocationManager::requestWhenInUseAuthorization()
{
    if (status_ != LocationAuthorizationStatus::notDetermined)
        return;
    authorizationAsked_ = true;
    checkService();
}

void GeoClueLocationManager::requestLocation()
{
    auto request = std::make_shared<Request>();
    request->manager = self_;
    // Each callback holds the request; the one that runs last lets it go.
    auto* forStart = new std::shared_ptr<Request>(request);
    auto* forTimeout = new std::shared_ptr<Request>(request);
    request->timeoutSource = g_timeout_add_full(
        G_PRIORITY_DEFAULT, static_cast<guint>(timeout_.count()),
        [](gpointer data) -> gboolean {
            auto& request = **static_cast<std::shared_ptr<Request>*>(data);
            request.timeoutSource = 0;
            g_cancellable_cancel(request.cancellable);
            return G_SOURCE_REMOVE;
        },
        forTimeout, [](gpointer data) { delete static_cast<std::shared_ptr<Request>*>(data); });
    gclue_simple_new(
        desktopId_.c_str(), accuracyLevel(desiredAccuracy), request->cancellable,
        [](GObject*, GAsyncResult* result, gpointer data) {
            std::unique_ptr<std::shared_ptr<Request>> keep(static_cast<std::shared_ptr<Request>*>(data));
            Request& request = **keep;
            request.simple = gclue_simple_new_finish(result, &request.error);
            if (const auto manager = request.manager.lock())
                gtk::guardedCall("location answer", [&] { (*manager)->finish(request); });
        },
        forStart);
}

void GeoClueLocationManager::finish(Request& request)
{
    if (request.timeoutSource) {
        g_source_remove(request.timeoutSource);
        request.timeoutSource = 0;
    }
    const auto delegate = this->delegate();
    if (!delegate)
        return;
    GClueLocation* found = request.simple ? gclue_simple_get_location(request.simple) : nullptr;
    if (!found) {
        if (request.error && g_error_matches(request.error, G_DBUS_ERROR, G_DBUS_ERROR_ACCESS_DENIED))
            status_ = LocationAuthorizationStatus::denied;
        const std::string reason = request.error ? request.error->message : "No position is available.";
        LOG_DEBUG("GeoClue: no position: " + reason);
        delegate->didFailWithError(*this, reason);
        return;
    }
    delegate->didUpdateLocations(*this, {locationOf(found)});
}

} // namespace platform
