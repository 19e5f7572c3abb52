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
    fakes.paymentQueue = paymentQueue;
    fakes.makeProductsRequest = [this](std::set<std::string> identifiers) {
        storeRequests.push_back(
            std::make_shared<FakeStoreRequest>(platform::StoreRequest::Kind::products, std::move(identifiers)));
        return storeRequests.back();
    };
    fakes.makeReceiptRefreshRequest = [this] {
        storeRequests.push_back(std::make_shared<FakeStoreRequest>(platform::StoreRequest::Kind::receiptRefresh));
        return storeRequests.back();
    };
    platform::install(std::move(fakes));
}

} // namespace testsupport
