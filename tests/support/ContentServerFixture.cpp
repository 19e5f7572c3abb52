#include "tests/support/ContentServerFixture.h"

#include "base/Config.h"
#include "base/SharedInstances.h"
#include "platform/Platform.h"
#include "portable/Dispatch.h"
#include "tests/support/LoopbackContentServer.h"

#include <filesystem>

namespace testsupport {

ContentServerFixture::ContentServerFixture(const std::string& path, const std::string& file)
{
    installCurlUrlSessions();
    storeServerSettings(server, path, file);
    network->setFlags(platform::Reachability::reachable);
    platform::current().reachability = network;
    std::filesystem::create_directories(sharedConfig().WEBROOT);
    // The content server posts on its reply thread; the observer runs on the main queue.
    sharedNotificationCenter().addObserver(
        this, bundleID(),
        [this](const platform::Notification& notification) {
            EXPECT_TRUE(platform::isMainThread());
            finished.push_back(notification.userInfo);
        },
        &platform::mainQueue());
}

ContentServerFixture::~ContentServerFixture()
{
    sharedNotificationCenter().removeObserver(this);
}

} // namespace testsupport
