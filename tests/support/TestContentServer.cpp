#include "tests/support/TestContentServer.h"

#include <httplib.h>

#include <stdexcept>
#include <strings.h>
#include <sys/socket.h>
#include <thread>

namespace testsupport {

struct TestContentServer::Impl {
    httplib::Server server;
    std::thread thread;
    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    std::map<std::string, Reply> replies;
    // Requests whose header fields have arrived, by the number the pre-routing step gave them.
    std::map<std::size_t, Request> arriving;
    std::size_t nextNumber = 0;
    std::vector<Request> requests;
    bool stopping = false;
    bool released = false;

    // Sends the piece of `stream` at `offset`, after its pause (and its hold); false ends the
    // reply early because the server stops.
    bool sendPiece(const Stream& stream, std::size_t offset, httplib::DataSink& sink)
    {
        {
            std::unique_lock lock(mutex);
            if (stream.pause.count() > 0)
                changed.wait_for(lock, stream.pause, [&] { return stopping; });
            if (stream.holdAt && offset >= *stream.holdAt)
                changed.wait(lock, [&] { return stopping || released; });
            if (stopping)
                return false;
        }
        const std::size_t end = stream.holdAt && offset < *stream.holdAt ? *stream.holdAt : stream.size;
        const std::string piece = patternBytes(offset, std::min(stream.pieceSize, end - offset));
        return sink.write(piece.data(), piece.size());
    }
};

namespace {

// Carries a request's number from the pre-routing step to its handler.
constexpr const char* numberField = "X-Test-Content-Server-Number";
// Marks a reply scripted without a content type, whose default the post-routing step removes.
constexpr const char* untypedField = "X-Test-Content-Server-Untyped";

// Content types whose bodies the server library would parse itself instead of keeping the bytes.
bool isParsedContentType(const std::string& value)
{
    return strncasecmp(value.c_str(), "multipart/", 10) == 0;
}

} // namespace

std::optional<std::string> TestContentServer::Request::header(const std::string& name) const
{
    for (const auto& [fieldName, value] : headers)
        if (strcasecmp(fieldName.c_str(), name.c_str()) == 0)
            return value;
    return std::nullopt;
}

TestContentServer::TestContentServer() : impl_(std::make_unique<Impl>())
{
    Impl& impl = *impl_;
    // Every reply closes its connection, so no idle connection holds a server thread or makes
    // the destructor wait; enough threads for tests that send many requests at once.
    impl.server.set_keep_alive_max_count(1);
    impl.server.new_task_queue = [] { return new httplib::ThreadPool(32); };
    // The request's header fields are taken here, as they arrived; its body is added by the
    // handler. The server library would parse a multipart body into parts and drop its bytes, so
    // the handler is shown another content type and gets the body whole.
    impl.server.set_pre_routing_handler([&impl](const httplib::Request& request, httplib::Response&) {
        Request recorded;
        recorded.method = request.method;
        const auto question = request.target.find('?');
        recorded.path = request.target.substr(0, question);
        if (question != std::string::npos)
            recorded.query = request.target.substr(question + 1);
        for (const auto& field : request.headers) {
            if (field.first == "REMOTE_ADDR" || field.first == "REMOTE_PORT" || field.first == "LOCAL_ADDR" ||
                field.first == "LOCAL_PORT")
                continue;
            recorded.headers.push_back(field);
        }
        std::size_t number = 0;
        {
            std::lock_guard lock(impl.mutex);
            number = impl.nextNumber++;
            impl.arriving.emplace(number, std::move(recorded));
        }
        auto& mutableRequest = const_cast<httplib::Request&>(request);
        for (auto& field : mutableRequest.headers)
            if (strcasecmp(field.first.c_str(), "Content-Type") == 0 && isParsedContentType(field.second))
                field.second = "application/octet-stream";
        mutableRequest.headers.emplace(numberField, std::to_string(number));
        return httplib::Server::HandlerResponse::Unhandled;
    });

    auto handler = [&impl](const httplib::Request& request, httplib::Response& response) {
        Reply reply;
        bool scripted = false;
        {
            std::unique_lock lock(impl.mutex);
            auto arrived = impl.arriving.find(std::stoul(request.get_header_value(numberField)));
            if (arrived != impl.arriving.end()) {
                arrived->second.body = request.body;
                impl.requests.push_back(std::move(arrived->second));
                impl.arriving.erase(arrived);
            }
            auto found = impl.replies.find(request.path);
            if (found != impl.replies.end()) {
                reply = found->second;
                scripted = true;
            }
            impl.changed.notify_all();
            if (scripted && reply.delay.count() > 0)
                impl.changed.wait_for(lock, reply.delay, [&] { return impl.stopping; });
        }
        if (!scripted) {
            response.status = 404;
            return;
        }
        response.status = reply.status;
        bool typed = false;
        for (const auto& [name, value] : reply.headers) {
            response.set_header(name, value);
            typed = typed || strcasecmp(name.c_str(), "Content-Type") == 0;
        }
        if (!typed)
            response.set_header(untypedField, "1");
        for (const auto& cookie : reply.cookies)
            response.set_header("Set-Cookie", cookie);
        if (!reply.stream) {
            response.body = reply.body;
            return;
        }
        const Stream stream = *reply.stream;
        if (stream.announceLength) {
            response.set_content_provider(stream.size, "application/octet-stream",
                                          [&impl, stream](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                              return impl.sendPiece(stream, offset, sink);
                                          });
            return;
        }
        response.set_chunked_content_provider("application/octet-stream",
                                              [&impl, stream](std::size_t offset, httplib::DataSink& sink) {
                                                  if (offset >= stream.size) {
                                                      sink.done();
                                                      return true;
                                                  }
                                                  return impl.sendPiece(stream, offset, sink);
                                              });
    };
    // The server library gives every body a content type; a reply scripted without one goes
    // without.
    impl.server.set_post_routing_handler([](const httplib::Request&, httplib::Response& response) {
        if (response.has_header(untypedField)) {
            response.headers.erase(untypedField);
            response.headers.erase("Content-Type");
        }
    });
    for (auto route : {&httplib::Server::Get, &httplib::Server::Post, &httplib::Server::Put,
                       &httplib::Server::Delete, &httplib::Server::Patch, &httplib::Server::Options})
        (impl.server.*route)(".*", handler);

    // The server library listens with a backlog of 5, so a burst of connections would wait for
    // the client's SYN retry (a second). The listening socket is remembered and listened on again
    // with a longer queue.
    int listeningSocket = -1;
    impl.server.set_socket_options([&listeningSocket](socket_t socket) {
        httplib::default_socket_options(socket);
        listeningSocket = socket;
    });
    port_ = impl.server.bind_to_any_port("127.0.0.1");
    if (port_ <= 0)
        throw std::runtime_error("the test content server cannot listen on the loopback interface");
    ::listen(listeningSocket, SOMAXCONN);
    impl.thread = std::thread([&impl] { impl.server.listen_after_bind(); });
    // A stop() before the listening loop runs would be lost and leave the loop waiting forever.
    while (!impl.server.is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

TestContentServer::~TestContentServer()
{
    {
        std::lock_guard lock(impl_->mutex);
        impl_->stopping = true;
    }
    impl_->changed.notify_all();
    impl_->server.stop();
    impl_->thread.join();
}

void TestContentServer::reply(const std::string& path, Reply reply)
{
    std::lock_guard lock(impl_->mutex);
    impl_->replies[path] = std::move(reply);
}

std::string TestContentServer::origin() const
{
    return "http://127.0.0.1:" + std::to_string(port_);
}

std::string TestContentServer::url(const std::string& pathAndQuery) const
{
    return origin() + pathAndQuery;
}

std::vector<TestContentServer::Request> TestContentServer::requests() const
{
    std::lock_guard lock(impl_->mutex);
    return impl_->requests;
}

bool TestContentServer::waitForRequests(std::size_t count, std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(impl_->mutex);
    return impl_->changed.wait_for(lock, timeout, [&] { return impl_->requests.size() >= count; });
}

} // namespace testsupport

namespace testsupport {

void TestContentServer::releaseHeldBodies()
{
    {
        std::lock_guard lock(impl_->mutex);
        impl_->released = true;
    }
    impl_->changed.notify_all();
}

std::string TestContentServer::patternBytes(std::size_t offset, std::size_t count)
{
    std::string bytes(count, '\0');
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = offset + i;
        bytes[i] = static_cast<char>((at * 7 + at / 251) & 0xff);
    }
    return bytes;
}

} // namespace testsupport
