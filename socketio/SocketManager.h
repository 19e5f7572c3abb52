#pragma once
// A Socket.IO 5 connection over Engine.IO 4 on one WebSocket (ws:// or wss://, the certificate
// verified against the system's authorities), with the client of the default namespace.
//
// The manager speaks the protocol (SocketPacket.h) on a thread of its own: it answers the
// server's pings, counts the server as gone after pingInterval + pingTimeout of silence,
// gives an attempt connectTimeout to reach the namespace's answer, and after a lost
// connection reconnects with growing waits (SocketManagerOptions) until disconnect(). A
// namespace the server refuses (a connect error) is not tried again: the manager stays
// disconnected, connect() included; a new manager tries anew.
// Nothing is sent beyond what the protocol needs: nothing is ever emitted.
//
// Threads: every member is safe from any thread but the destructor, which must not run on the
// manager's own thread (that is, not from a handler). Lifetimes: the destructor closes the
// connection, ends the thread and returns only when no handler runs or will run.

#include "socketio/SocketIOClient.h"
#include "socketio/SocketManagerOptions.h"
#include "socketio/SocketURL.h"

#include <memory>
#include <string>

namespace socketio {

class SocketManager {
public:
    enum class Status { notConnected, disconnected, connecting, connected };

    // Nothing when `socketURL` is no URL the manager can connect to (SocketURL::parse).
    static std::unique_ptr<SocketManager> create(const std::string& socketURL, SocketManagerOptions options);
    ~SocketManager();
    SocketManager(const SocketManager&) = delete;
    SocketManager& operator=(const SocketManager&) = delete;

    SocketIOClient& defaultSocket() { return client_; }
    // Opens the connection and joins "/", unless connected or connecting already, or refused.
    void connect();
    // Leaves "/", closes the connection and stops reconnecting.
    void disconnect();

    Status status() const;
    const SocketManagerOptions& options() const { return options_; }
    const std::string& socketURL() const { return socketURL_; }

private:
    struct Impl;
    SocketManager(std::string socketURL, SocketURL address, SocketManagerOptions options);

    const std::string socketURL_;
    const SocketManagerOptions options_;
    SocketIOClient client_;
    std::unique_ptr<Impl> impl_;
};

} // namespace socketio
