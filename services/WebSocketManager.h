#pragma once
// The page's receive-only real-time channel: a Socket.IO connection to the server that the
// settings name ("socketserverurl", "socketserverpath", "uuid"), whose "message" events reach
// the page function "webSocketEvent" with the event's first item as JSON text. The page opens
// it through the bridge with a domain; the application delegate disconnects it when the
// application goes to the background and connects it again when it becomes active. Nothing is
// ever sent beyond what the Socket.IO client itself sends.
//
// Threads: the operations run on the main thread. Events arrive on the Socket.IO client's own
// thread and reach the page only through callJsCallback, which evaluates on the main queue.
// Lifetimes: one shared instance, built by the composition root; its destructor closes the
// connection and returns when no event handler runs any more. The web view is held weakly: a
// page that is gone receives nothing.

#include "platform/WebView.h"
#include "portable/Guarded.h"
#include "socketio/SocketManager.h"

#include <nlohmann/json.hpp>

#include <map>
#include <memory>
#include <string>
#include <vector>

class WebSocketManager {
public:
    // Reads the three settings; the channel is configured when all three are text.
    WebSocketManager();
    ~WebSocketManager();
    WebSocketManager(const WebSocketManager&) = delete;
    WebSocketManager& operator=(const WebSocketManager&) = delete;

    // The shared instance, the same as sharedWebSocketManager().
    static WebSocketManager& shared();

    // Keeps `domain` and `view`, then (when configured) builds a new Socket.IO manager for the
    // server URL, replacing and closing any earlier one, and connects its default client.
    void connect(const std::string& domain, const std::weak_ptr<platform::WebView>& view);
    // Takes the server URL and "uuid" from the settings again; true when both are text (the
    // channel is configured then), false with nothing changed otherwise. The path stays as
    // the constructor found it.
    bool reconfigure();
    // Whether the channel is configured; the bridge calls reconfigure() first when it is not.
    bool isConfigured() const { return configured; }

    // A "message" event: its first item, when it is a JSON object or array, goes to the page.
    // Runs on the Socket.IO client's thread.
    void didReceiveMessage(const socketio::SocketIOClient::Items& items);
    // The same for an event that came with its items' JSON texts: the first one goes to the
    // page as it stands.
    void didReceiveMessage(const socketio::SocketIOClient::Texts& texts);

    bool configured = false;
    // Kept for the page's sake; no operation reads or changes it.
    bool isOpen = false;
    std::string uuid;
    std::string socketServerURL;
    std::string socketServerPath;
    std::unique_ptr<socketio::SocketManager> webSocketManager;
    // No operation uses it.
    std::map<std::string, nlohmann::json> onlineUser;
    std::string domain;
    // The page that receives the events; read on the client's thread, hence guarded.
    platform::Guarded<std::weak_ptr<platform::WebView>> webView;

    const std::string CFG_SOCKET_URL = "socketserverurl";
    const std::string CFG_UUID = "uuid";
    const std::string CFG_SOCKET_SERVER_PATH = "socketserverpath";

    // What a manager is built with for `domain`: log off, the connect parameters "domain" and
    // "uuid", compress, WebSocket only, the path followed by "/socket.io".
    socketio::SocketManagerOptions managerOptions(const std::string& domain) const;

private:
    void sendToPage(const std::string& text);
};

// The shared real-time channel, built by the composition root. Main thread only (see above).
WebSocketManager& sharedWebSocketManager();
