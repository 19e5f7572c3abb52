#pragma once
// The server address of a Socket.IO connection and the target of its WebSocket handshake.
// Pure functions, safe from any thread.

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace socketio {

struct SocketURL {
    // wss:// or https://: TLS with the certificate verified.
    bool secure = false;
    // The host as written, without the brackets of an IPv6 literal.
    std::string host;
    std::string port;

    // Nothing unless `text` is "ws", "wss", "http" or "https" (any case) with a host and an
    // optional numeric port; path, query and fragment are ignored (the path option names the
    // server's path).
    static std::optional<SocketURL> parse(const std::string& text);
    // The Host header: the host, in brackets when it is an IPv6 literal, with the port.
    std::string hostHeader() const;
};

// "<path>/?EIO=4&transport=websocket&name=value…": "/" stands before and after the path,
// names and values are percent-encoded, every byte but ASCII letters, digits and "-._~".
std::string handshakeTarget(const std::string& path, const std::vector<std::pair<std::string, std::string>>& params);

} // namespace socketio
