#include "portable/HttpCookie.h"

#include "portable/AsciiText.h"

#include <glib.h>

#include <string_view>

namespace platform {
namespace {

std::string hostOf(const std::string& url)
{
    gchar* host = nullptr;
    if (!g_uri_split(url.c_str(), G_URI_FLAGS_NONE, nullptr, nullptr, &host, nullptr, nullptr, nullptr, nullptr,
                     nullptr))
        return {};
    std::string text = host ? lowercasedASCII(host) : "";
    g_free(host);
    return text;
}

// The host belongs to the domain: the same name, or a name below it.
bool domainMatches(const std::string& host, std::string domain)
{
    if (domain.starts_with('.'))
        domain.erase(0, 1);
    domain = lowercasedASCII(domain);
    return host == domain || (host.size() > domain.size() && host.ends_with("." + domain));
}

} // namespace

std::string HttpCookie::description() const
{
    return name + "=" + value;
}

std::vector<HttpCookie> cookiesWithResponseHeaderFields(const std::vector<std::string>& setCookieLines,
                                                        const std::string& url)
{
    const std::string host = hostOf(url);
    std::vector<HttpCookie> cookies;
    for (const auto& line : setCookieLines) {
        std::string_view rest(line);
        const auto end = rest.find(';');
        const std::string_view pair = rest.substr(0, end);
        const auto equals = pair.find('=');
        if (equals == std::string_view::npos)
            continue;
        HttpCookie cookie;
        cookie.name = std::string(trimmed(pair.substr(0, equals)));
        cookie.value = std::string(trimmed(pair.substr(equals + 1)));
        if (cookie.name.empty())
            continue;
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        while (!rest.empty()) {
            const auto next = rest.find(';');
            const std::string_view attribute = trimmed(rest.substr(0, next));
            rest = next == std::string_view::npos ? std::string_view() : rest.substr(next + 1);
            const auto attributeEquals = attribute.find('=');
            if (lowercasedASCII(trimmed(attribute.substr(0, attributeEquals))) == "domain" &&
                attributeEquals != std::string_view::npos)
                cookie.domain = std::string(trimmed(attribute.substr(attributeEquals + 1)));
        }
        if (!cookie.domain.empty() && !domainMatches(host, cookie.domain))
            continue;
        cookies.push_back(std::move(cookie));
    }
    return cookies;
}

} // namespace platform
