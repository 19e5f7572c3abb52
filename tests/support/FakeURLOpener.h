#pragma once
// Keeps the URLs it was asked to open; has a handler for every scheme unless told otherwise.

#include "platform/URLOpener.h"

#include <set>
#include <string>
#include <vector>

namespace testsupport {

class FakeURLOpener final : public platform::URLOpener {
public:
    const std::vector<std::string>& opened() const { return opened_; }
    // Schemes the desktop has no handler for.
    std::set<std::string> schemesWithoutHandler;

protected:
    void openImpl(const std::string& url) override { opened_.push_back(url); }
    bool canOpenImpl(const std::string& url) override
    {
        return !schemesWithoutHandler.contains(url.substr(0, url.find(':')));
    }

private:
    std::vector<std::string> opened_;
};

} // namespace testsupport
