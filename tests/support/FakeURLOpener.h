#pragma once
// Keeps the URLs it was asked to open.

#include "platform/URLOpener.h"

#include <string>
#include <vector>

namespace testsupport {

class FakeURLOpener final : public platform::URLOpener {
public:
    const std::vector<std::string>& opened() const { return opened_; }

protected:
    void openImpl(const std::string& url) override { opened_.push_back(url); }

private:
    std::vector<std::string> opened_;
};

} // namespace testsupport
