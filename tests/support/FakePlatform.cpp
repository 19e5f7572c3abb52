#include "tests/support/FakePlatform.h"

#include "platform/Platform.h"

namespace testsupport {

FakePlatform::FakePlatform()
{
    platform::Platform fakes;
    fakes.application = application;
    fakes.urlOpener = urlOpener;
    fakes.userNotificationCenter = userNotificationCenter;
    fakes.makeProgressView = [this] {
        progressViews.push_back(std::make_shared<FakeProgressView>());
        return progressViews.back();
    };
    fakes.makeWindow = [this] {
        windows.push_back(std::make_shared<FakeWindow>());
        return windows.back();
    };
    fakes.makeWebView = [this](const platform::WebViewConfiguration& configuration) {
        webViews.push_back(std::make_shared<FakeWebView>(configuration));
        return webViews.back();
    };
    platform::install(std::move(fakes));
}

} // namespace testsupport
