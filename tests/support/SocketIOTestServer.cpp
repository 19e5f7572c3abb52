#include "tests/support/SocketIOTestServer.h"

#include "tests/support/TestEnvironment.h"

#include <glib.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>

namespace testsupport {

int freeLoopbackPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
        || ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("no free loopback port");
    ::close(fd);
    return ntohs(address.sin_port);
}

SocketIOTestServer::SocketIOTestServer(Options options) : options_(std::move(options)), port_(freeLoopbackPort())
{
    if (!start())
        throw std::runtime_error("the Socket.IO test server did not start (is `npm ci` done in tests/socketio?)");
}

SocketIOTestServer::~SocketIOTestServer()
{
    if (pid_ > 0)
        resume();
    stop();
}

std::string SocketIOTestServer::url() const
{
    return (options_.certificate ? "wss://localhost:" : "ws://127.0.0.1:") + std::to_string(port_);
}

bool SocketIOTestServer::start()
{
    const std::string script = std::string(WEBCONTAINER_TEST_SOCKETIO_DIR) + "/server.js";
    std::vector<std::string> argv{"/usr/bin/env", "node", script, "--port", std::to_string(port_), "--path",
                                  options_.path, "--ping-interval", std::to_string(options_.pingInterval.count()),
                                  "--ping-timeout", std::to_string(options_.pingTimeout.count())};
    if (options_.certificate)
        argv.insert(argv.end(), {"--cert", options_.certificate->string(), "--key", options_.key->string()});
    std::vector<char*> args;
    for (auto& arg : argv)
        args.push_back(arg.data());
    args.push_back(nullptr);
    GPid pid = 0;
    int output = -1;
    GError* error = nullptr;
    if (!g_spawn_async_with_pipes(nullptr, args.data(), nullptr, G_SPAWN_DO_NOT_REAP_CHILD, nullptr, nullptr, &pid,
                                  &input_, &output, nullptr, &error)) {
        g_clear_error(&error);
        return false;
    }
    pid_ = pid;
    {
        std::lock_guard lock(mutex_);
        lines_.clear();
    }
    reader_ = std::thread([this, output] { readOutput(output); });
    return waitForLine("listening", std::chrono::seconds(15)).has_value();
}

void SocketIOTestServer::stop()
{
    if (pid_ <= 0)
        return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    ::close(input_);
    pid_ = -1;
    reader_.join();
}

void SocketIOTestServer::pause()
{
    ::kill(pid_, SIGSTOP);
}

void SocketIOTestServer::resume()
{
    ::kill(pid_, SIGCONT);
}

void SocketIOTestServer::command(const nlohmann::json& command)
{
    commandText(command.dump());
}

void SocketIOTestServer::commandText(const std::string& text)
{
    const std::string line = text + "\n";
    std::size_t written = 0;
    while (written < line.size()) {
        const auto n = ::write(input_, line.data() + written, line.size() - written);
        if (n <= 0)
            throw std::runtime_error("cannot write to the Socket.IO test server");
        written += static_cast<std::size_t>(n);
    }
}

void SocketIOTestServer::readOutput(int fd)
{
    std::string pending;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0) {
        pending.append(buffer, static_cast<std::size_t>(n));
        std::size_t end;
        while ((end = pending.find('\n')) != std::string::npos) {
            std::lock_guard lock(mutex_);
            lines_.push_back(pending.substr(0, end));
            pending.erase(0, end + 1);
            changed_.notify_all();
        }
    }
    ::close(fd);
}

std::optional<std::string> SocketIOTestServer::waitForLine(const std::string& prefix, std::chrono::milliseconds timeout)
{
    std::unique_lock lock(mutex_);
    std::optional<std::string> found;
    changed_.wait_for(lock, timeout, [&] {
        for (auto it = lines_.begin(); it != lines_.end(); ++it) {
            if (it->starts_with(prefix)) {
                found = *it;
                lines_.erase(it);
                return true;
            }
        }
        return false;
    });
    return found;
}

TestCertificates makeTestCertificates(const std::filesystem::path& folder)
{
    TestCertificates files{folder / "ca.pem", folder / "server.pem", folder / "server.key"};
    const std::string caKey = (folder / "ca.key").string();
    const std::string request = (folder / "server.csr").string();
    const std::string extensions = (folder / "san.ext").string();
    writeFile(extensions, "subjectAltName=DNS:localhost,IP:127.0.0.1\n");
    const std::vector<std::vector<std::string>> steps{
        {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", caKey, "-out", files.authority.string(), "-days",
         "2", "-subj", "/CN=webcontainer test authority"},
        {"req", "-newkey", "rsa:2048", "-nodes", "-keyout", files.key.string(), "-out", request, "-subj", "/CN=localhost"},
        {"x509", "-req", "-in", request, "-CA", files.authority.string(), "-CAkey", caKey, "-CAcreateserial", "-out",
         files.certificate.string(), "-days", "2", "-extfile", extensions},
    };
    for (auto step : steps) {
        step.insert(step.begin(), {"/usr/bin/env", "openssl"});
        if (const auto result = runProcess(step); result.exitStatus != 0)
            throw std::runtime_error("openssl failed: " + result.err);
    }
    return files;
}

} // namespace testsupport
