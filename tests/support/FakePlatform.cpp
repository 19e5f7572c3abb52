#include "tests/support/FakePlatform.h"

#include "platform/Platform.h"

#include <filesystem>

namespace testsupport {

FakePlatform::FakePlatform()
{
    platform::Platform fakes;
    fakes.application = application;
    fakes.urlOpener = urlOpener;
    fakes.userNotificationCenter = userNotificationCenter;
    fakes.toast = toast;
    fakes.previewController = previewController;
    fakes.shareDialog = shareDialog;
    fakes.makeAudioPlayer = [this](const std::filesystem::path& file,
                                   std::string& error) -> std::shared_ptr<platform::AudioPlayer> {
        if (!std::filesystem::exists(file)) {
            error = file.string() + " can't be played";
            return nullptr;
        }
        audioPlayers.push_back(std::make_shared<FakeAudioPlayer>(file));
        return audioPlayers.back();
    };
    fakes.makeProgressView = [this] {
        progressViews.push_back(std::make_shared<FakeProgressView>());
        return progressViews.back();
    };
    fakes.makeMaskedImageView = [this] {
        maskedImageViews.push_back(std::make_shared<FakeMaskedImageView>());
        return maskedImageViews.back();
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
    fakes.makeLocationManager = [this] { return locationManager; };
    fakes.makeGeocoder = [this] {
        geocoders.push_back(std::make_shared<FakeGeocoder>());
        return geocoders.back();
    };
    fakes.makeDocumentPicker = [this](platform::DocumentTypes types) {
        pickers.push_back(std::make_shared<FakeDocumentPicker>(types));
        return pickers.back();
    };
    platform::install(std::move(fakes));
}

} // namespace testsupport
