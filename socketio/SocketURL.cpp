#include "socketio/SocketURL.h"

#include "portable/PercentEncoding.h"

#include <algorithm>
#include <cctype>

namespace socketio {
namespace {

std::string lowercase(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

bool isPort(const std::string& text)
{
    return !text.empty() && text.size() <= 5 && std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); })
        && std::stoi(text) > 0 && std::stoi(text) < 65536;
}

} // namespace

std::optional<SocketURL> SocketURL::parse(const std::string& text)
{
    const auto schemeEnd = text.find("://");
    if (schemeEnd == std::string::npos)
        return std::nullopt;
    const std::string scheme = lowercase(text.substr(0, schemeEnd));
    SocketURL url;
    if (scheme == "wss" || scheme == "https")
        url.secure = true;
    else if (scheme != "ws" && scheme != "http")
        return std::nullopt;
    std::string authority = text.substr(schemeEnd + 3);
    authority = authority.substr(0, authority.find_first_of("/?#"));
    if (authority.find('@') != std::string::npos)
        return std::nullopt;
    std::string port;
    if (authority.starts_with("[")) {
        const auto close = authority.find(']');
        if (close == std::string::npos)
            return std::nullopt;
        url.host = authority.substr(1, close - 1);
        const std::string rest = authority.substr(close + 1);
        if (!rest.empty() && (rest[0] != ':' || !isPort(port = rest.substr(1))))
            return std::nullopt;
    } else {
        const auto colon = authority.find(':');
        url.host = authority.substr(0, colon);
        if (colon != std::string::npos && !isPort(port = authority.substr(colon + 1)))
            return std::nullopt;
    }
    const bool hostOk = !url.host.empty() && std::none_of(url.host.begin(), url.host.end(), [](unsigned char c) {
        return c <= ' ' || c == '%' || c >= 0x7f;
    });
    if (!hostOk)
        return std::nullopt;
    url.port = port.empty() ? (url.secure ? "443" : "80") : port;
    return url;
}

std::string SocketURL::hostHeader() const
{
    const bool ipv6 = host.find(':') != std::string::npos;
    return (ipv6 ? "[" + host + "]" : host) + ":" + port;
}

std::string handshakeTarget(const std::string& path, const std::vector<std::pair<std::string, std::string>>& params)
{
    std::string target = path.starts_with("/") ? path : "/" + path;
    if (!target.ends_with("/"))
        target += '/';
    target += "?EIO=4&transport=websocket";
    for (const auto& [name, value] : params)
        target += "&" + platform::percentEncoded(name, platform::urlKept::unreserved) + "="
                  + platform::percentEncoded(value, platform::urlKept::unreserved);
    return target;
}

} // namespace socketio
