// The real-time channel against the npm Socket.IO server (tests/socketio/server.js).
#include "app/AppDelegate.h"
#include "base/Config.h"
#include "portable/Dispatch.h"
#include "services/WebSocketManager.h"
#include "tests/support/FakePlatform.h"
#include "tests/support/FakeWebView.h"
#include "tests/support/SocketIOTestServer.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/TestIsolation.h"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <thread>

using namespace std::chrono_literals;
using socketio::SocketManager;
using testsupport::FakeWebView;
using testsupport::SocketIOTestServer;
using json = nlohmann::json;

namespace {

// The client events one manager reported, in order, as "event item…". The handlers share the
// record, so it may end before the manager does.
class EventLog {
public:
    explicit EventLog(socketio::SocketIOClient& client)
    {
        for (const char* event : {"connect", "disconnect", "error", "message"}) {
            client.on(event, [record = record_, event](const socketio::SocketIOClient::Items& items) {
                std::lock_guard lock(record->mutex);
                record->events.push_back(std::string(event) + (items.empty() ? "" : " " + items.front().dump()));
            });
        }
    }

    // How many events start with `prefix`, once there are at least `count` or after `timeout`.
    std::size_t waitFor(const std::string& prefix, std::size_t count = 1, std::chrono::milliseconds timeout = 30s)
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (this->count(prefix) < count && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(10ms);
        return this->count(prefix);
    }

    std::size_t count(const std::string& prefix) const
    {
        const auto all = events();
        return static_cast<std::size_t>(
            std::count_if(all.begin(), all.end(), [&](const std::string& e) { return e.starts_with(prefix); }));
    }

    std::vector<std::string> events() const
    {
        std::lock_guard lock(record_->mutex);
        return record_->events;
    }

private:
    struct Record {
        std::mutex mutex;
        std::vector<std::string> events;
    };
    std::shared_ptr<Record> record_ = std::make_shared<Record>();
};

void emit(SocketIOTestServer& server, nlohmann::json items)
{
    server.command(nlohmann::json{{"emit", std::move(items)}});
}

socketio::SocketManagerOptions fastOptions()
{
    socketio::SocketManagerOptions options;
    options.reconnectWait = 50ms;
    options.reconnectWaitMax = 200ms;
    options.connectTimeout = 10s; // a TLS handshake under the sanitizers on a busy machine takes seconds
    return options;
}

void configureChannel(const std::string& url, const std::string& path, const std::string& uuid)
{
    auto& defaults = sharedConfig().defaults;
    defaults.set("socketserverurl", url);
    defaults.set("socketserverpath", path);
    defaults.set("uuid", uuid);
}

// Lets the main queue run until the view has evaluated `count` scripts.
bool waitForScripts(const FakeWebView& view, std::size_t count)
{
    return platform::runMainLoopUntil([&] { return view.scripts().size() >= count; }, 10s);
}

} // namespace

TEST(SocketIO, PageReceivesMessagesWithTheConnectParameters)
{
    SocketIOTestServer::Options options;
    options.path = "/rt/socket.io";
    SocketIOTestServer server(options);
    configureChannel(server.url(), "/rt", "u 1&ü");
    WebSocketManager channel;
    auto view = std::make_shared<FakeWebView>();
    channel.connect("shop/ä b", view);
    const auto connection = server.waitForLine("connection ");
    ASSERT_TRUE(connection);
    EXPECT_EQ(json::parse(connection->substr(11)), json::object({{"domain", "shop/ä b"}, {"uuid", "u 1&ü"}}));
    EXPECT_TRUE(server.waitForLine("extensions permessage-deflate")) << "compress did not agree on deflate";
    ASSERT_TRUE(platform::runMainLoopUntil(
        [&] { return channel.webSocketManager->status() == SocketManager::Status::connected; }));

    // Only an object or an array as the first item reaches the page, in order.
    emit(server, json::array({json::object({{"a", 1}}), "second item"}));
    emit(server, json::array({"plain text"}));
    emit(server, json::array({7}));
    server.command(json::object({{"emitBinary", "bytes"}}));
    emit(server, json::array());
    emit(server, json::array({json::array({1, "x\"y"})}));
    const std::string big(1 << 20, 'z');
    emit(server, json::array({json::object({{"data", big}})}));
    // A lone UTF-16 surrogate dropped the whole event; it becomes U+FFFD, the rest stays.
    server.commandText(R"({"emit": [{"t": "\ud800x", "u": "\ud83d\ude00"}]})");
    // The server writes these members in the order given; the page gets them in key order.
    server.commandText(R"({"emit": [{"b": 1, "a": {"d": 2, "c": [3]}}]})");
    ASSERT_TRUE(waitForScripts(*view, 5));
    platform::runMainLoopUntil([] { return false; }, 200ms);
    ASSERT_EQ(view->scripts().size(), 5u);
    EXPECT_EQ(view->scripts()[0], R"(webSocketEvent("{\"a\":1}"))");
    EXPECT_EQ(view->scripts()[1], R"(webSocketEvent("[1,\"x\\\"y\"]"))");
    EXPECT_EQ(view->scripts()[2], R"(webSocketEvent("{\"data\":\")" + big + R"(\"}"))");
    EXPECT_EQ(view->scripts()[3], R"(webSocketEvent("{\"t\":\")" "\xEF\xBF\xBD" R"(x\",\"u\":\")" "\xF0\x9F\x98\x80" R"(\"}"))");
    EXPECT_EQ(view->scripts()[4], R"(webSocketEvent("{\"a\":{\"c\":[3],\"d\":2},\"b\":1}"))");
}

// A connect with a wrong URL after a good one added the handlers a second time to the kept
// manager, so every message reached the page twice.
TEST(SocketIO, ReplacingTheManagerClosesTheOldOneAndAWrongUrlKeepsItsHandlersSingle)
{
    SocketIOTestServer server;
    configureChannel(server.url(), "", "u");
    WebSocketManager channel;
    auto view = std::make_shared<FakeWebView>();
    channel.connect("one", view);
    ASSERT_TRUE(server.waitForLine("connection {\"domain\":\"one\""));
    channel.connect("two", view);
    ASSERT_TRUE(server.waitForLine("disconnect "));
    ASSERT_TRUE(server.waitForLine("connection {\"domain\":\"two\""));

    sharedConfig().defaults.set("socketserverurl", std::string("not a url"));
    ASSERT_TRUE(channel.reconfigure());
    channel.connect("three", view);
    ASSERT_TRUE(platform::runMainLoopUntil(
        [&] { return channel.webSocketManager->status() == SocketManager::Status::connected; }));
    emit(server, json::array({json::object({{"n", 1}})}));
    ASSERT_TRUE(waitForScripts(*view, 1));
    platform::runMainLoopUntil([] { return false; }, 200ms);
    EXPECT_EQ(view->scripts(), std::vector<std::string>{R"(webSocketEvent("{\"n\":1}"))"});
    EXPECT_FALSE(server.waitForLine("connection ", 0ms));
}

// A handler that threw ended the process: the exception left the Socket.IO thread.
TEST(SocketIO, AHandlerThatThrowsIsDroppedAndTheConnectionGoesOn)
{
    SocketIOTestServer server;
    auto manager = SocketManager::create(server.url(), fastOptions());
    manager->defaultSocket().on("message", [](const socketio::SocketIOClient::Items& items) {
        if (items.front().contains("boom"))
            throw std::runtime_error("boom");
    });
    EventLog log(manager->defaultSocket());
    manager->connect();
    ASSERT_EQ(log.waitFor("connect"), 1u);
    emit(server, json::array({json::object({{"boom", 1}})}));
    emit(server, json::array({json::object({{"after", 1}})}));
    EXPECT_EQ(log.waitFor("message {\"after\":1}"), 1u);
    // The handler added after the one that threw still heard the message.
    EXPECT_EQ(log.count("message {\"boom\":1}"), 1u);
    EXPECT_EQ(log.count("disconnect"), 0u);
}

TEST(SocketIO, BackgroundDisconnectsAndBecomingActiveConnects)
{
    SocketIOTestServer server;
    configureChannel(server.url(), "", "u");
    testsupport::rebuildSharedInstances();
    testsupport::FakePlatform fakes;
    AppDelegate delegate;

    auto& channel = sharedWebSocketManager();
    channel.connect("d", std::make_shared<FakeWebView>());
    ASSERT_TRUE(server.waitForLine("connection "));
    ASSERT_TRUE(platform::runMainLoopUntil(
        [&] { return channel.webSocketManager->status() == SocketManager::Status::connected; }));
    delegate.applicationDidEnterBackground(*fakes.application);
    EXPECT_TRUE(server.waitForLine("disconnect client namespace disconnect"));
    delegate.applicationDidBecomeActive(*fakes.application);
    EXPECT_TRUE(server.waitForLine("connection "));
}

TEST(SocketIO, ReconnectsAfterTheServerRestartsAndAfterItFreezes)
{
    SocketIOTestServer::Options serverOptions;
    serverOptions.pingInterval = 200ms;
    serverOptions.pingTimeout = 200ms;
    SocketIOTestServer server(serverOptions);
    // Plain ws:// on loopback: a short connect time-out, so an attempt on the frozen server
    // times out within the wait below.
    auto options = fastOptions();
    options.connectTimeout = 2s;
    auto manager = SocketManager::create(server.url(), options);
    EventLog log(manager->defaultSocket());
    manager->connect();
    ASSERT_EQ(log.waitFor("connect"), 1u);

    server.stop();
    EXPECT_EQ(log.waitFor("disconnect"), 1u);
    ASSERT_TRUE(server.start());
    EXPECT_EQ(log.waitFor("connect", 2), 2u);

    // A frozen server keeps its connections open but says nothing: pings stop, and new
    // attempts reach a socket that never answers.
    server.pause();
    EXPECT_EQ(log.waitFor("disconnect \"ping timeout\""), 1u);
    EXPECT_GE(log.waitFor("error \"connect timed out\"", 1, 5s), 1u);
    server.resume();
    EXPECT_EQ(log.waitFor("connect", 3), 3u);
    emit(server, json::array({json::object({{"after", "freeze"}})}));
    EXPECT_EQ(log.waitFor("message {\"after\":\"freeze\"}"), 1u);
}

TEST(SocketIO, ServerThatNeverAnswersTimesOutAndIsTriedAgain)
{
    // Accepts connections (the kernel's backlog) and never reads or writes.
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 16), 0);
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);

    auto options = fastOptions();
    options.connectTimeout = 300ms;
    auto manager = SocketManager::create("ws://127.0.0.1:" + std::to_string(ntohs(address.sin_port)), options);
    EventLog log(manager->defaultSocket());
    manager->connect();
    EXPECT_GE(log.waitFor("error \"connect timed out\"", 2), 2u);
    EXPECT_EQ(log.count("connect"), 0u);
    manager.reset();
    ::close(listener);
}

TEST(SocketIO, SecureServerIsReachedOnlyWithItsAuthorityTrusted)
{
    const auto files = testsupport::makeTestCertificates(testsupport::makeTemporaryFolder("tls"));
    SocketIOTestServer::Options serverOptions;
    serverOptions.certificate = files.certificate;
    serverOptions.key = files.key;
    SocketIOTestServer server(serverOptions);
    struct Case {
        const char* name;
        std::optional<std::filesystem::path> authorities;
        bool connects;
    };
    const Case cases[] = {
        {"test authority", files.authority, true},
        {"system store", std::nullopt, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto options = fastOptions();
        options.certificateAuthorities = c.authorities;
        options.reconnects = false;
        auto manager = SocketManager::create(server.url(), options);
        EventLog log(manager->defaultSocket());
        manager->connect();
        if (c.connects) {
            ASSERT_EQ(log.waitFor("connect"), 1u);
            emit(server, json::array({json::object({{"secure", true}})}));
            EXPECT_EQ(log.waitFor("message {\"secure\":true}"), 1u);
        } else {
            ASSERT_EQ(log.waitFor("error"), 1u);
            EXPECT_NE(log.events().front().find("tls"), std::string::npos) << log.events().front();
            EXPECT_EQ(log.count("connect"), 0u);
        }
    }
}

TEST(SocketIO, NoHandlerRunsAfterTheManagerIsDestroyed)
{
    SocketIOTestServer server;
    auto manager = SocketManager::create(server.url(), fastOptions());
    auto received = std::make_shared<std::atomic<int>>(0);
    manager->defaultSocket().on("message", [received](const auto&) {
        std::this_thread::sleep_for(1ms);
        ++*received;
    });
    EventLog log(manager->defaultSocket());
    manager->connect();
    ASSERT_EQ(log.waitFor("connect"), 1u);
    server.command(json::object({{"burst", 2000}}));
    while (*received == 0)
        std::this_thread::sleep_for(1ms);
    manager.reset();
    const int atDestruction = *received;
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(*received, atDestruction);
    EXPECT_LT(atDestruction, 2000);
}

// A namespace the server refused (a connect error, here from a middleware) was tried again and
// again for as long as the program ran; a connect of the refused manager (the application
// becoming active) tried it once more.
TEST(SocketIO, ARefusedNamespaceIsNotTriedAgain)
{
    SocketIOTestServer server;
    auto options = fastOptions();
    options.connectParams = {{"domain", "refused"}};
    auto manager = SocketManager::create(server.url(), options);
    EventLog log(manager->defaultSocket());
    manager->connect();
    ASSERT_TRUE(server.waitForLine("refused "));
    EXPECT_EQ(log.waitFor("error"), 1u);
    manager->connect();
    // Attempts after a lost connection come 25 to 300 ms apart: none in this time is none at all.
    EXPECT_FALSE(server.waitForLine("refused ", 1500ms));
    EXPECT_EQ(log.count("error"), 1u);
    EXPECT_EQ(manager->status(), SocketManager::Status::disconnected);
}
