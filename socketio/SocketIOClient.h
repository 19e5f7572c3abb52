#pragma once
// The client of the default namespace "/" of a SocketManager: the handlers of its events.
//
// Events: every event the server emits on "/" by name (its items are the event's arguments),
// and the client's own:
//   "connect"          the namespace answered the connect (items: the answer, {"sid":…})
//   "disconnect"       the connection ended (items: the reason as text)
//   "error"            an attempt failed or the server refused the namespace (items: the reason)
//   "reconnectAttempt" a new attempt is due after a lost connection (items: its number)
//
// An event the manager read in its plain form (PlainEvent.h) comes with each item's JSON text;
// a handler that takes texts gets those, and the items are parsed only for handlers that need
// them.
//
// Threads: on() and connect() are safe from any thread; handlers run on the manager's own
// thread, one at a time, never after the manager is destroyed; an exception a handler throws
// is logged and dropped. A handler must not destroy the manager. Lifetime: owned by its
// SocketManager.

#include <nlohmann/json.hpp>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace socketio {

class SocketManager;

class SocketIOClient {
public:
    using Items = std::vector<nlohmann::json>;
    using Handler = std::function<void(const Items& items)>;
    // Each item's JSON text, as nlohmann::json::dump() writes it.
    using Texts = std::vector<std::string>;
    using TextHandler = std::function<void(const Texts& texts)>;

    explicit SocketIOClient(SocketManager& manager) : manager_(manager) {}
    SocketIOClient(const SocketIOClient&) = delete;
    SocketIOClient& operator=(const SocketIOClient&) = delete;

    const std::string nsp = "/";

    // Adds `handler` for `event`; several handlers of one event run in the order added.
    void on(const std::string& event, Handler handler);
    // Adds handlers for `event` that take its items' texts when the event came with them and
    // the items otherwise.
    void on(const std::string& event, Handler handler, TextHandler texts);
    // Connects the manager, which joins this namespace.
    void connect();

    // The manager's thread hands an event to its handlers, with its items or their texts.
    void handleEvent(const std::string& event, const Items& items);
    void handleEvent(const std::string& event, const Texts& texts);

private:
    struct Registration {
        std::string event;
        Handler handler;
        TextHandler texts;
    };
    using Registrations = std::vector<Registration>;
    // The handlers as they stand; on() replaces the list, so an event runs without the lock.
    std::shared_ptr<const Registrations> registrations() const;
    void add(Registration registration);

    SocketManager& manager_;
    mutable std::mutex mutex_;
    std::shared_ptr<const Registrations> registrations_ = std::make_shared<const Registrations>();
};

} // namespace socketio
