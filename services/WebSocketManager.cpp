#include "services/WebSocketManager.h"

#include "base/Config.h"
#include "base/JavaScriptCalls.h"
#include "base/SharedInstances.h"
#include "logger/Logger.h"
#include "portable/Check.h"

#include <cmath>

namespace {

const std::optional<std::string> kPageFunction = "webSocketEvent";

// What the platform's JSON serializer takes as a top-level value: an object or an array,
// holding no binary data and no number that is not finite.
bool isValidJSONObject(const nlohmann::json& value, bool topLevel = true)
{
    if (topLevel && !value.is_structured())
        return false;
    if (value.is_binary() || (value.is_number_float() && !std::isfinite(value.get<double>())))
        return false;
    if (value.is_structured()) {
        for (const auto& item : value)
            if (!isValidJSONObject(item, false))
                return false;
    }
    return true;
}

} // namespace

WebSocketManager::WebSocketManager()
{
    auto& defaults = sharedConfig().defaults;
    const auto url = defaults.string(CFG_SOCKET_URL);
    const auto path = url ? defaults.string(CFG_SOCKET_SERVER_PATH) : std::nullopt;
    const auto id = path ? defaults.string(CFG_UUID) : std::nullopt;
    if (id) {
        uuid = *id;
        socketServerURL = *url;
        socketServerPath = *path;
        LOG_DEBUG("configuring websocket: " + socketServerURL + " " + socketServerPath);
        configured = true;
    }
}

WebSocketManager::~WebSocketManager()
{
    // The client's thread ends here, before the fields its handlers read.
    webSocketManager.reset();
}

WebSocketManager& WebSocketManager::shared()
{
    return SharedInstances::get<WebSocketManager>();
}

WebSocketManager& sharedWebSocketManager()
{
    return WebSocketManager::shared();
}

bool WebSocketManager::reconfigure()
{
    auto& defaults = sharedConfig().defaults;
    const auto url = defaults.string(CFG_SOCKET_URL);
    const auto id = defaults.string(CFG_UUID);
    if (!url || !id)
        return false;
    uuid = *id;
    socketServerURL = *url;
    LOG_DEBUG("creating websocket");
    configured = true;
    return true;
}

socketio::SocketManagerOptions WebSocketManager::managerOptions(const std::string& forDomain) const
{
    socketio::SocketManagerOptions options;
    options.log = false;
    options.connectParams = {{"domain", forDomain}, {"uuid", uuid}};
    options.compress = true;
    options.forceWebsockets = true;
    options.path = socketServerPath + "/socket.io";
    return options;
}

void WebSocketManager::connect(const std::string& newDomain, const std::weak_ptr<platform::WebView>& view)
{
    platform::requireMainThread();
    webView.set(view);
    domain = newDomain;
    if (!configured) {
        LOG_ERROR("WebSocket ERROR: webSocketURL and uuid not set.");
        return;
    }
    auto manager = socketio::SocketManager::create(socketServerURL, managerOptions(domain));
    if (!manager) {
        LOG_ERROR("wrong websocket URL !!!");
        // The earlier manager stays, with the handlers it already has: adding them again
        // would hand every message to the page twice.
        if (webSocketManager)
            webSocketManager->defaultSocket().connect();
        return;
    }
    // The earlier manager closes here; its handlers run no more.
    webSocketManager = std::move(manager);
    auto& socket = webSocketManager->defaultSocket();
    socket.on("connect", [](const socketio::SocketIOClient::Items&) { LOG_DEBUG("websocket connected"); });
    socket.on(
        "message", [this](const socketio::SocketIOClient::Items& items) { didReceiveMessage(items); },
        [this](const socketio::SocketIOClient::Texts& texts) { didReceiveMessage(texts); });
    socket.connect();
}

void WebSocketManager::didReceiveMessage(const socketio::SocketIOClient::Items& items)
{
    if (items.empty() || !isValidJSONObject(items.front()))
        return;
    std::string text;
    try {
        text = items.front().dump();
    } catch (const nlohmann::json::exception& error) {
        // Text items that are no UTF-8.
        LOG_ERROR(std::string("Error during JSON serialisation ") + error.what());
        return;
    }
    sendToPage(text);
}

void WebSocketManager::didReceiveMessage(const socketio::SocketIOClient::Texts& texts)
{
    // The text of an object or an array: what the parsed item would be written as.
    if (texts.empty() || (!texts.front().starts_with('{') && !texts.front().starts_with('[')))
        return;
    sendToPage(texts.front());
}

void WebSocketManager::sendToPage(const std::string& text)
{
    LOG_DEBUG("WS: sending wbsocketevent: " + text);
    callJsCallback(kPageFunction, text, webView.get());
}
