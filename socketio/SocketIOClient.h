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
// Threads: on() and connect() are safe from any thread; handlers run on the manager's own
// thread, one at a time, never after the manager is destroyed; an exception a handler throws
// is logged and dropped. A handler must not destroy the manager. Lifetime: owned by its
// SocketManager.

#include <nlohmann/json.hpp>

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace socketio {

class SocketManager;

class SocketIOClient {
public:
    using Items = std::vector<nlohmann::json>;
    using Handler = std::function<void(const Items& items)>;

    explicit SocketIOClient(SocketManager& manager) : manager_(manager) {}
    SocketIOClient(const SocketIOClient&) = delete;
    SocketIOClient& operator=(const SocketIOClient&) = delete;

    const std::string nsp = "/";

    // Adds `handler` for `event`; several handlers of one event run in the order added.
    void on(const std::string& event, Handler handler);
    // Connects the manager, which joins this namespace.
    void connect();

    // The manager's thread hands an event to its handlers.
    void handleEvent(const std::string& event, const Items& items);

private:
    SocketManager& manager_;
    std::mutex mutex_;
    std::multimap<std::string, Handler> handlers_;
};

} // namespace socketio
