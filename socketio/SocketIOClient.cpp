#include "socketio/SocketIOClient.h"

#include "portable/GuardedCall.h"
#include "socketio/SocketManager.h"

#include <optional>

namespace socketio {

void SocketIOClient::on(const std::string& event, Handler handler)
{
    add({event, std::move(handler), nullptr});
}

void SocketIOClient::on(const std::string& event, Handler handler, TextHandler texts)
{
    add({event, std::move(handler), std::move(texts)});
}

void SocketIOClient::add(Registration registration)
{
    std::lock_guard lock(mutex_);
    auto next = std::make_shared<Registrations>(*registrations_);
    next->push_back(std::move(registration));
    registrations_ = std::move(next);
}

std::shared_ptr<const SocketIOClient::Registrations> SocketIOClient::registrations() const
{
    std::lock_guard lock(mutex_);
    return registrations_;
}

void SocketIOClient::connect()
{
    manager_.connect();
}

// A handler may add handlers: they hear the next event. A handler that throws is logged and
// skipped; the connection and the other handlers go on.
void SocketIOClient::handleEvent(const std::string& event, const Items& items)
{
    const auto handlers = registrations();
    for (const auto& registration : *handlers) {
        if (registration.event == event)
            platform::guardedCall("a Socket.IO event handler", [&] { registration.handler(items); });
    }
}

void SocketIOClient::handleEvent(const std::string& event, const Texts& texts)
{
    const auto handlers = registrations();
    std::optional<Items> items;
    for (const auto& registration : *handlers) {
        if (registration.event != event)
            continue;
        platform::guardedCall("a Socket.IO event handler", [&] {
            if (registration.texts)
                return registration.texts(texts);
            if (!items) {
                items.emplace();
                for (const auto& text : texts)
                    items->push_back(nlohmann::json::parse(text));
            }
            registration.handler(items.value());
        });
    }
}

} // namespace socketio
