#pragma once
// One WebSocket connection of a SocketManager: resolve, TCP connect, TLS (for wss://, the
// certificate verified for the host), the WebSocket handshake (per-message deflate offered
// when asked), then frames both ways. Writes are queued, one in flight at a time.
//
// Threads: every member and every callback runs on the thread that runs `io`. Lifetimes: the
// transport keeps itself alive while operations are pending; after close() no callback runs.

#include "socketio/SocketURL.h"

#include <boost/asio/io_context.hpp>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace socketio {

class WebSocketTransport {
public:
    struct Settings {
        SocketURL address;
        std::string target;
        bool compress = false;
        std::optional<std::filesystem::path> certificateAuthorities;
    };
    struct Callbacks {
        std::function<void()> onOpen;
        // One whole frame; `binary` tells binary frames from text frames.
        std::function<void(std::string payload, bool binary)> onMessage;
        // The connection failed or ended; at most once, never after close().
        std::function<void(const std::string& reason)> onClosed;
    };

    static std::shared_ptr<WebSocketTransport> create(boost::asio::io_context& io, Settings settings,
                                                      Callbacks callbacks);
    virtual ~WebSocketTransport() = default;

    virtual void open() = 0;
    virtual void send(std::string text) = 0;
    // Sends what is queued, then the close frame, then shuts the socket; no callback runs.
    virtual void close() = 0;
    // Shuts the socket at once; no callback runs.
    virtual void abort() = 0;
};

} // namespace socketio
