#pragma once
// A content server on the loopback interface for tests: each test scripts what it answers per
// path (status, header fields, Set-Cookie lines, body, a pause before answering) and reads back
// every request exactly as it arrived (method, raw path and query, header fields, raw body).
//
// Listens on 127.0.0.1 on a port of its own from construction to destruction. A path without a
// script is answered with 404 and an empty body. Every reply closes its connection
// ("Connection: close"). Safe from any thread.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

class TestContentServer {
public:
    // A body made while it is sent, never held whole by the server: `size` bytes of
    // patternBytes(), in pieces of `pieceSize`, each after `pause`.
    struct Stream {
        std::size_t size = 0;
        std::size_t pieceSize = 64 * 1024;
        std::chrono::milliseconds pause{0};
        // Content-Length announced; otherwise the body goes chunked, its length unknown.
        bool announceLength = true;
        // The body stops after this many bytes until releaseHeldBodies().
        std::optional<std::size_t> holdAt;
    };

    struct Reply {
        int status = 200;
        // Sent as they stand; no Content-Type is added when none is given here.
        std::vector<std::pair<std::string, std::string>> headers;
        // Each one a Set-Cookie line of its own.
        std::vector<std::string> cookies;
        std::string body;
        // Silence before the reply is sent.
        std::chrono::milliseconds delay{0};

        Reply& withStatus(int value) { status = value; return *this; }
        Reply& withHeader(std::string name, std::string value)
        {
            headers.emplace_back(std::move(name), std::move(value));
            return *this;
        }
        Reply& withCookie(std::string line) { cookies.push_back(std::move(line)); return *this; }
        Reply& withBody(std::string value) { body = std::move(value); return *this; }
        Reply& withDelay(std::chrono::milliseconds value) { delay = value; return *this; }
        // In place of `body`.
        std::optional<Stream> stream;
        Reply& withStream(Stream value) { stream = value; return *this; }
    };

    struct Request {
        std::string method;
        // The request target's path and query as sent, not decoded.
        std::string path;
        std::string query;
        std::vector<std::pair<std::string, std::string>> headers;
        std::string body;

        // A header field by name, compared case-insensitively.
        std::optional<std::string> header(const std::string& name) const;
    };

    TestContentServer();
    ~TestContentServer();
    TestContentServer(const TestContentServer&) = delete;
    TestContentServer& operator=(const TestContentServer&) = delete;

    // Answers requests for `path` (decoded, without query; any method) with `reply`.
    void reply(const std::string& path, Reply reply);

    int port() const { return port_; }
    // "http://127.0.0.1:<port>"
    std::string origin() const;
    // origin() followed by `pathAndQuery`.
    std::string url(const std::string& pathAndQuery) const;

    // Every request received so far, in order of arrival.
    std::vector<Request> requests() const;
    // Waits until at least `count` requests have arrived; false when `timeout` passed first.
    bool waitForRequests(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;
    // Lets every held streamed body go on; from now on none is held.
    void releaseHeldBodies();

    // The bytes of a streamed body from `offset` on: a pattern that never repeats at a power of two.
    static std::string patternBytes(std::size_t offset, std::size_t count);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    int port_ = 0;
};

} // namespace testsupport
