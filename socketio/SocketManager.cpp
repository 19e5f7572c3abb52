#include "socketio/SocketManager.h"

#include "logger/Logger.h"
#include "portable/GuardedCall.h"
#include "socketio/PlainEvent.h"
#include "socketio/SocketPacket.h"
#include "socketio/WebSocketTransport.h"

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>

#include <atomic>
#include <random>
#include <thread>

namespace socketio {

namespace asio = boost::asio;

// Everything below runs on `thread` except the constructor, post() and the destructor.
struct SocketManager::Impl {
    Impl(SocketManager& owner, SocketURL address)
        : owner(owner), address(std::move(address)), connectTimer(io), pingTimer(io), reconnectTimer(io),
          work(asio::make_work_guard(io)), thread([this] { run(); })
    {
    }

    // An exception that escapes a handler (the page's or the protocol's) is logged and
    // dropped, and the loop goes on with the next one: it must not end the process.
    void run()
    {
        while (!io.stopped())
            platform::guardedCall("the Socket.IO thread", [this] { io.run(); });
    }

    ~Impl()
    {
        asio::post(io, [this] {
            closeTransport(Close::Abort);
            cancelTimers();
            work.reset();
            io.stop();
        });
        thread.join();
    }

    void post(std::function<void()> task) { asio::post(io, std::move(task)); }

    void log(const std::string& message) const
    {
        if (owner.options_.log)
            LOG_DEBUG("socket.io " + owner.socketURL_ + ": " + message);
    }

    void emitEvent(const std::string& event, const SocketIOClient::Items& items)
    {
        owner.client_.handleEvent(event, items);
    }

    // The user's connect: a fresh run of attempts, unless the server refused the namespace.
    void connect()
    {
        if (refused) {
            log("refused by the server: not connecting again");
            return;
        }
        wanted = true;
        if (status == Status::connected || status == Status::connecting)
            return;
        attempts = 0;
        reconnectTimer.cancel();
        open();
    }

    void disconnect()
    {
        const bool wasConnected = status == Status::connected;
        wanted = false;
        if (transport && wasConnected)
            transport->send("41");
        closeTransport(Close::Graceful);
        cancelTimers();
        status = Status::disconnected;
        if (wasConnected)
            emitEvent("disconnect", {"io client disconnect"});
    }

    void open()
    {
        status = Status::connecting;
        const unsigned id = ++generation;
        log("connecting, attempt " + std::to_string(attempts + 1));
        WebSocketTransport::Settings settings{address, handshakeTarget(owner.options_.path, owner.options_.connectParams),
                                              owner.options_.compress, owner.options_.certificateAuthorities};
        // Callbacks of a transport that was replaced are dropped by its generation.
        WebSocketTransport::Callbacks callbacks{
            [] {},
            [this, id](std::string payload, bool binary) {
                if (id == generation)
                    receive(std::move(payload), binary);
            },
            [this, id](const std::string& reason) {
                if (id == generation)
                    lost(reason);
            }};
        transport = WebSocketTransport::create(io, std::move(settings), std::move(callbacks));
        armTimer(connectTimer, owner.options_.connectTimeout, [this] { lost("connect timed out"); });
        transport->open();
    }

    enum class Close { Graceful, Abort };
    void closeTransport(Close how)
    {
        ++generation;
        binaryPacket.reset();
        if (!transport)
            return;
        if (how == Close::Graceful)
            transport->close();
        else
            transport->abort();
        transport.reset();
    }

    void cancelTimers()
    {
        connectTimer.cancel();
        pingTimer.cancel();
        reconnectTimer.cancel();
    }

    template <class Task>
    void armTimer(asio::steady_timer& timer, std::chrono::milliseconds after, Task task)
    {
        timer.expires_after(after);
        timer.async_wait([task](const boost::system::error_code& error) {
            if (!error)
                task();
        });
    }

    // The connection ended without disconnect(): tell the client and try again.
    void lost(const std::string& reason)
    {
        log("lost: " + reason);
        const bool wasConnected = status == Status::connected;
        closeTransport(Close::Abort);
        cancelTimers();
        status = Status::disconnected;
        emitEvent(wasConnected ? "disconnect" : "error", {reason});
        if (wanted && owner.options_.reconnects)
            scheduleReconnect();
    }

    // The server refused the namespace (a connect error): trying again would be refused again.
    void refuse(const std::string& reason)
    {
        LOG_ERROR("socket.io " + owner.socketURL_ + ": the server refused the connection: " + reason);
        refused = true;
        wanted = false;
        closeTransport(Close::Graceful);
        cancelTimers();
        status = Status::disconnected;
        emitEvent("error", {reason});
    }

    void scheduleReconnect()
    {
        ++attempts;
        const auto& options = owner.options_;
        double wait = static_cast<double>(options.reconnectWait.count());
        for (int i = 1; i < attempts && wait < static_cast<double>(options.reconnectWaitMax.count()); ++i)
            wait *= 2;
        wait = std::min(wait, static_cast<double>(options.reconnectWaitMax.count()));
        wait *= std::uniform_real_distribution<double>(0.5, 1.5)(random);
        status = Status::connecting;
        armTimer(reconnectTimer, std::chrono::milliseconds(static_cast<long long>(wait)), [this] {
            emitEvent("reconnectAttempt", {attempts});
            open();
        });
    }

    // Any frame shows the server alive for another pingInterval + pingTimeout.
    void watchPings()
    {
        if (!handshake)
            return;
        armTimer(pingTimer, handshake->pingInterval + handshake->pingTimeout, [this] { lost("ping timeout"); });
    }

    void receive(std::string payload, bool binary)
    {
        watchPings();
        if (binary) {
            receiveAttachment(std::move(payload));
            return;
        }
        if (payload.empty())
            return;
        const std::string_view rest = std::string_view(payload).substr(1);
        switch (payload[0]) {
        case '0':
            handshake = EngineHandshake::parse(rest);
            if (!handshake)
                return lost("bad open packet");
            watchPings();
            transport->send("40");
            return;
        case '1':
            return lost("transport close");
        case '2':
            transport->send("3");
            return;
        case '4':
            // Events in the plain form go to the handlers as text, without a parse.
            if (auto event = PlainEvent::read(rest))
                return owner.client_.handleEvent(event->name, event->items);
            return receivePacket(rest);
        default:
            return; // pong, noop and upgrades do not concern a WebSocket-only client
        }
    }

    void receivePacket(std::string_view text)
    {
        auto packet = SocketPacket::parse(text);
        if (!packet) {
            log("dropped a malformed packet");
            return;
        }
        if (packet->nsp != owner.client_.nsp)
            return;
        using Type = SocketPacket::Type;
        switch (packet->type) {
        case Type::Connect:
            connectTimer.cancel();
            status = Status::connected;
            attempts = 0;
            log("connected");
            emitEvent("connect", {packet->data});
            return;
        case Type::ConnectError:
            return refuse(packet->data.dump());
        case Type::Disconnect: {
            // The server sent us away: no reconnecting.
            wanted = false;
            closeTransport(Close::Graceful);
            cancelTimers();
            status = Status::disconnected;
            emitEvent("disconnect", {"io server disconnect"});
            return;
        }
        case Type::Event:
            return dispatch(std::move(*packet));
        case Type::BinaryEvent:
            if (packet->attachments == 0)
                return dispatch(std::move(*packet));
            binaryPacket = std::move(*packet);
            attachments.clear();
            return;
        default:
            return; // acks answer emits, and this client emits nothing
        }
    }

    void receiveAttachment(std::string bytes)
    {
        if (!binaryPacket)
            return;
        attachments.push_back(std::move(bytes));
        if (attachments.size() < binaryPacket->attachments)
            return;
        SocketPacket packet = std::move(*binaryPacket);
        binaryPacket.reset();
        if (packet.fillPlaceholders(attachments))
            dispatch(std::move(packet));
        attachments.clear();
    }

    void dispatch(SocketPacket packet)
    {
        const std::string event = packet.data[0].get<std::string>();
        SocketIOClient::Items items(std::make_move_iterator(packet.data.begin() + 1),
                                    std::make_move_iterator(packet.data.end()));
        emitEvent(event, items);
    }

    SocketManager& owner;
    const SocketURL address;
    asio::io_context io;
    std::shared_ptr<WebSocketTransport> transport;
    asio::steady_timer connectTimer;
    asio::steady_timer pingTimer;
    asio::steady_timer reconnectTimer;
    std::optional<EngineHandshake> handshake;
    std::optional<SocketPacket> binaryPacket;
    std::vector<std::string> attachments;
    unsigned generation = 0;
    int attempts = 0;
    bool wanted = false;
    // The server refused the namespace: the manager connects no more.
    bool refused = false;
    std::minstd_rand random{std::random_device{}()};
    // Written on the thread, read from any.
    std::atomic<Status> status{Status::notConnected};
    asio::executor_work_guard<asio::io_context::executor_type> work;
    std::thread thread;
};

std::unique_ptr<SocketManager> SocketManager::create(const std::string& socketURL, SocketManagerOptions options)
{
    auto address = SocketURL::parse(socketURL);
    if (!address)
        return nullptr;
    return std::unique_ptr<SocketManager>(new SocketManager(socketURL, std::move(*address), std::move(options)));
}

SocketManager::SocketManager(std::string socketURL, SocketURL address, SocketManagerOptions options)
    : socketURL_(std::move(socketURL)), options_(std::move(options)), client_(*this),
      impl_(std::make_unique<Impl>(*this, std::move(address)))
{
}

SocketManager::~SocketManager() = default;

void SocketManager::connect()
{
    impl_->post([impl = impl_.get()] { impl->connect(); });
}

void SocketManager::disconnect()
{
    impl_->post([impl = impl_.get()] { impl->disconnect(); });
}

SocketManager::Status SocketManager::status() const
{
    return impl_->status.load();
}

} // namespace socketio
