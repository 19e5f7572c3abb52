#include "tests/support/LoopbackContentServer.h"

#include "base/Config.h"
#include "platform/Platform.h"
#include "platform/linux/CurlUrlSession.h"

namespace testsupport {

void installCurlUrlSessions()
{
    platform::current().makeUrlSession = [](platform::UrlSessionConfiguration configuration) {
        return std::make_shared<platform::CurlUrlSession>(std::move(configuration));
    };
}

void storeServerSettings(const TestContentServer& server, const std::string& path, const std::string& file)
{
    auto& defaults = sharedConfig().defaults;
    defaults.set("serverprotocol", "http://");
    defaults.set("servername", "127.0.0.1:" + std::to_string(server.port()));
    defaults.set("serverpath", path);
    defaults.set("serverfile", file);
    defaults.set("app", "X");
    defaults.set("date", "D");
    defaults.set("full", "F");
}

} // namespace testsupport
