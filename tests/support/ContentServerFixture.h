#pragma once
// The content server's client against the loopback test server, with real libcurl: the server
// settings point at `server` (LoopbackContentServer.h), the network is reachable, the web root
// exists, and every notification named with the bundle identifier (a download's or a server
// reply's end) is kept in `finished`, observed on the main queue as the web screen observes it.
// For the integration tests; main thread only.

#include "portable/PlistValue.h"
#include "tests/support/FakePlatform.h"
#include "tests/support/FakeReachability.h"
#include "tests/support/TestContentServer.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace testsupport {

class ContentServerFixture : public testing::Test {
protected:
    // The server's script is `path` + `file` on `server`.
    explicit ContentServerFixture(const std::string& path = "/app/", const std::string& file = "server.php");
    ~ContentServerFixture() override;

    TestContentServer server;
    FakePlatform fakes;
    std::shared_ptr<FakeReachability> network = std::make_shared<FakeReachability>();
    std::vector<platform::PlistDict> finished;
};

} // namespace testsupport
