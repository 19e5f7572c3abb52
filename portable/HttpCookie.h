#pragma once
// Cookies read from a reply's Set-Cookie lines, without storing them anywhere.
// Safe from any thread.

#include <string>
#include <vector>

namespace platform {

struct HttpCookie {
    std::string name;
    // As sent: not decoded, quotation marks kept.
    std::string value;
    // The Domain attribute, when the line gives one.
    std::string domain;

    // "name=value"
    std::string description() const;
};

// The cookies of `setCookieLines` that a reply from `url` may set, in order: a line without
// "=" or with an empty name is no cookie, and a cookie whose Domain attribute the host of `url`
// does not belong to is left out.
std::vector<HttpCookie> cookiesWithResponseHeaderFields(const std::vector<std::string>& setCookieLines,
                                                        const std::string& url);

} // namespace platform
