#pragma once
// Hands a URL to the desktop's handler for its scheme: the browser for web addresses, the mail
// program for "mailto", a dialer for "tel". Main thread only; returns at once.

#include <string>

namespace platform {

class URLOpener {
public:
    virtual ~URLOpener() = default;
    void open(const std::string& url);
    // Whether the desktop has a handler for the scheme of `url`.
    bool canOpen(const std::string& url);

protected:
    virtual void openImpl(const std::string& url) = 0;
    virtual bool canOpenImpl(const std::string& url) = 0;
};

} // namespace platform
