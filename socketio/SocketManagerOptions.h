#pragma once
// What a SocketManager is built with. Plain data; copy it freely.

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace socketio {

struct SocketManagerOptions {
    // Debug lines of the connection through the logger.
    bool log = false;
    // Query items of the connection's target, in order, after "EIO=4&transport=websocket".
    std::vector<std::pair<std::string, std::string>> connectParams;
    // Offers per-message deflate in the WebSocket handshake; the server decides.
    bool compress = false;
    // The only transport is WebSocket; the flag is kept so callers can say so.
    bool forceWebsockets = true;
    // The server's Socket.IO path; "/" is added before it and after it where missing.
    std::string path = "/socket.io/";
    // Reconnecting after a lost connection: the first wait, doubled on every failed attempt up
    // to the longest, each varied by up to half at random.
    bool reconnects = true;
    std::chrono::milliseconds reconnectWait{1000};
    std::chrono::milliseconds reconnectWaitMax{5000};
    // From the start of an attempt to the namespace's connect answer.
    std::chrono::milliseconds connectTimeout{20000};
    // A PEM file of the authorities trusted for wss://; the system's store when absent.
    std::optional<std::filesystem::path> certificateAuthorities;
};

} // namespace socketio
