// Boost.Beast is compiled here and nowhere else.
#include "socketio/WebSocketTransport.h"

#include <boost/asio/connect.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/ssl.hpp>
#include <boost/beast/websocket.hpp>
#include <boost/beast/websocket/ssl.hpp>

#include <deque>

namespace socketio {
namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;

bool isIPAddress(const std::string& host)
{
    boost::system::error_code error;
    asio::ip::make_address(host, error);
    return !error;
}

using PlainStream = websocket::stream<beast::tcp_stream>;
using SecureStream = websocket::stream<beast::ssl_stream<beast::tcp_stream>>;

template <class Stream>
class BeastTransport final : public WebSocketTransport, public std::enable_shared_from_this<BeastTransport<Stream>> {
public:
    BeastTransport(asio::io_context& io, Settings settings, Callbacks callbacks, std::unique_ptr<asio::ssl::context> tls)
        : settings_(std::move(settings)), callbacks_(std::move(callbacks)), tls_(std::move(tls)), resolver_(io),
          ws_(makeStream(io))
    {
    }

    void open() override
    {
        resolver_.async_resolve(settings_.address.host, settings_.address.port,
                                [self = this->shared_from_this()](beast::error_code error, tcp::resolver::results_type results) {
                                    self->onResolved(error, results);
                                });
    }

    void send(std::string text) override
    {
        if (closed_)
            return;
        writes_.push_back(std::move(text));
        if (open_ && writes_.size() == 1)
            writeNext();
    }

    void close() override
    {
        if (closed_)
            return;
        closed_ = true;
        if (!open_) {
            abortSocket();
        } else if (writes_.empty()) {
            closeHandshake();
        }
        // Otherwise the last write's completion closes.
    }

    void abort() override
    {
        closed_ = true;
        abortSocket();
    }

private:
    Stream makeStream(asio::io_context& io)
    {
        if constexpr (std::is_same_v<Stream, SecureStream>)
            return Stream(io, *tls_);
        else
            return Stream(io);
    }

    void abortSocket()
    {
        beast::error_code ignored;
        resolver_.cancel();
        beast::get_lowest_layer(ws_).socket().shutdown(tcp::socket::shutdown_both, ignored);
        beast::get_lowest_layer(ws_).socket().close(ignored);
    }

    void closeHandshake()
    {
        ws_.async_close(websocket::close_code::normal, [self = this->shared_from_this()](beast::error_code) {
            self->abortSocket();
        });
    }

    // Reports the end once, unless we ended it ourselves.
    void fail(const std::string& what, const beast::error_code& error)
    {
        const bool report = !closed_;
        closed_ = true;
        abortSocket();
        if (report && callbacks_.onClosed)
            callbacks_.onClosed(what + ": " + error.message());
    }

    void onResolved(beast::error_code error, const tcp::resolver::results_type& results)
    {
        if (closed_)
            return;
        if (error)
            return fail("resolve", error);
        beast::get_lowest_layer(ws_).async_connect(results, [self = this->shared_from_this()](
                                                                beast::error_code error, const tcp::endpoint&) {
            self->onConnected(error);
        });
    }

    void onConnected(beast::error_code error)
    {
        if (closed_)
            return;
        if (error)
            return fail("connect", error);
        beast::get_lowest_layer(ws_).socket().set_option(tcp::no_delay(true), error);
        if constexpr (std::is_same_v<Stream, SecureStream>) {
            auto& tlsStream = ws_.next_layer();
            const std::string& host = settings_.address.host;
            // Server names are sent for host names only; IP literals go without.
            if (!isIPAddress(host) && !SSL_set_tlsext_host_name(tlsStream.native_handle(), host.c_str()))
                return fail("tls", beast::error_code(static_cast<int>(::ERR_get_error()), asio::error::get_ssl_category()));
            tlsStream.set_verify_mode(asio::ssl::verify_peer);
            tlsStream.set_verify_callback(asio::ssl::host_name_verification(host));
            tlsStream.async_handshake(asio::ssl::stream_base::client, [self = this->shared_from_this()](beast::error_code error) {
                if (self->closed_)
                    return;
                if (error)
                    return self->fail("tls", error);
                self->handshake();
            });
        } else {
            handshake();
        }
    }

    void handshake()
    {
        websocket::permessage_deflate deflate;
        deflate.client_enable = settings_.compress;
        ws_.set_option(deflate);
        // The manager keeps its own times: the connect time-out and the ping watch.
        ws_.set_option(websocket::stream_base::timeout{websocket::stream_base::none(), websocket::stream_base::none(), false});
        ws_.read_message_max(64 * 1024 * 1024);
        ws_.async_handshake(settings_.address.hostHeader(), settings_.target,
                            [self = this->shared_from_this()](beast::error_code error) {
                                if (self->closed_)
                                    return;
                                if (error)
                                    return self->fail("handshake", error);
                                self->open_ = true;
                                if (self->callbacks_.onOpen)
                                    self->callbacks_.onOpen();
                                if (!self->writes_.empty())
                                    self->writeNext();
                                self->readNext();
                            });
    }

    void readNext()
    {
        ws_.async_read(buffer_, [self = this->shared_from_this()](beast::error_code error, std::size_t) {
            if (self->closed_)
                return;
            if (error)
                return self->fail("read", error);
            std::string payload = beast::buffers_to_string(self->buffer_.data());
            self->buffer_.consume(self->buffer_.size());
            if (self->callbacks_.onMessage)
                self->callbacks_.onMessage(std::move(payload), !self->ws_.got_text());
            if (!self->closed_)
                self->readNext();
        });
    }

    void writeNext()
    {
        ws_.text(true);
        ws_.async_write(asio::buffer(writes_.front()), [self = this->shared_from_this()](beast::error_code error, std::size_t) {
            if (error)
                return self->fail("write", error);
            self->writes_.pop_front();
            if (!self->writes_.empty())
                self->writeNext();
            else if (self->closed_)
                self->closeHandshake();
        });
    }

    const Settings settings_;
    const Callbacks callbacks_;
    const std::unique_ptr<asio::ssl::context> tls_;
    tcp::resolver resolver_;
    Stream ws_;
    beast::flat_buffer buffer_;
    std::deque<std::string> writes_;
    bool open_ = false;
    bool closed_ = false;
};

std::unique_ptr<asio::ssl::context> makeTLSContext(const WebSocketTransport::Settings& settings)
{
    auto context = std::make_unique<asio::ssl::context>(asio::ssl::context::tls_client);
    context->set_options(asio::ssl::context::no_sslv2 | asio::ssl::context::no_sslv3 | asio::ssl::context::no_tlsv1
                         | asio::ssl::context::no_tlsv1_1);
    boost::system::error_code error;
    if (settings.certificateAuthorities)
        context->load_verify_file(settings.certificateAuthorities->string(), error);
    else
        context->set_default_verify_paths(error);
    // A store that did not load trusts nothing, so the handshake fails and says why.
    context->set_verify_mode(asio::ssl::verify_peer);
    return context;
}

} // namespace

std::shared_ptr<WebSocketTransport> WebSocketTransport::create(asio::io_context& io, Settings settings, Callbacks callbacks)
{
    if (settings.address.secure) {
        auto tls = makeTLSContext(settings);
        return std::make_shared<BeastTransport<SecureStream>>(io, std::move(settings), std::move(callbacks), std::move(tls));
    }
    return std::make_shared<BeastTransport<PlainStream>>(io, std::move(settings), std::move(callbacks), nullptr);
}

} // namespace socketio
