#include "socketio/SocketIOClient.h"

#include "platform/GuardedCall.h"
#include "socketio/SocketManager.h"

namespace socketio {

void SocketIOClient::on(const std::string& event, Handler handler)
{
    std::lock_guard lock(mutex_);
    handlers_.emplace(event, std::move(handler));
}

void SocketIOClient::connect()
{
    manager_.connect();
}

void SocketIOClient::handleEvent(const std::string& event, const Items& items)
{
    std::vector<Handler> matching;
    {
        std::lock_guard lock(mutex_);
        const auto [first, last] = handlers_.equal_range(event);
        for (auto it = first; it != last; ++it)
            matching.push_back(it->second);
    }
    // Outside the lock, so a handler may add handlers. A handler that throws is logged and
    // skipped; the connection and the other handlers go on.
    for (const auto& handler : matching)
        platform::guardedCall("a Socket.IO event handler", [&] { handler(items); });
}

} // namespace socketio
