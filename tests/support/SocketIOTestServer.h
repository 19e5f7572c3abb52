#pragma once
// The npm Socket.IO server of tests/socketio/server.js in a child process, listening on
// 127.0.0.1 on a free port picked at construction. stop() and start() restart it on the same
// port; pause() and resume() freeze it (SIGSTOP, SIGCONT) with its connections open.
//
// Main thread only, except waitForLine() and lines(), which are safe from any thread. The
// destructor kills the server.

#include <nlohmann/json.hpp>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

class SocketIOTestServer {
public:
    struct Options {
        std::string path = "/socket.io";
        // Serves wss:// with this certificate and key.
        std::optional<std::filesystem::path> certificate;
        std::optional<std::filesystem::path> key;
        std::chrono::milliseconds pingInterval{25000};
        std::chrono::milliseconds pingTimeout{20000};
    };

    explicit SocketIOTestServer(Options options);
    SocketIOTestServer() : SocketIOTestServer(Options{}) {}
    ~SocketIOTestServer();
    SocketIOTestServer(const SocketIOTestServer&) = delete;
    SocketIOTestServer& operator=(const SocketIOTestServer&) = delete;

    int port() const { return port_; }
    // "ws://127.0.0.1:<port>", or "wss://localhost:<port>" with a certificate.
    std::string url() const;

    // Starts the server and waits until it listens; false after 15 s.
    bool start();
    void stop();
    void pause();
    void resume();
    // Sends one command (see server.js).
    void command(const nlohmann::json& command);
    // The same, written as it stands: for JSON the library would not write (a lone surrogate).
    void commandText(const std::string& line);

    // The first line printed since the last start that begins with `prefix` and was not
    // taken before, taking it; nothing after `timeout`.
    std::optional<std::string> waitForLine(const std::string& prefix,
                                           std::chrono::milliseconds timeout = std::chrono::seconds(10));

private:
    void readOutput(int fd);

    const Options options_;
    const int port_;
    int pid_ = -1;
    int input_ = -1;
    std::thread reader_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> lines_;
};

// A certificate authority and a server certificate it signed for "localhost" and 127.0.0.1,
// made with the openssl command in `folder`.
struct TestCertificates {
    std::filesystem::path authority;
    std::filesystem::path certificate;
    std::filesystem::path key;
};
TestCertificates makeTestCertificates(const std::filesystem::path& folder);

// A port on 127.0.0.1 that nothing listens on right now.
int freeLoopbackPort();

} // namespace testsupport
