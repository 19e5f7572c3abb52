#pragma once
// Installs the recording doubles as the platform and keeps them at hand: the application, the
// URL opener, the notification centre, the store, the toast, the preview, the share dialog, the
// location manager, and every window, web view, progress bar, audio player, masked image view,
// geocoder and file chooser made since. An audio player is made for every file that exists; any
// other file can't be played.

#include "tests/support/FakeApplication.h"
#include "tests/support/FakeAudioPlayer.h"
#include "tests/support/FakeDocumentPicker.h"
#include "tests/support/FakeGeocoder.h"
#include "tests/support/FakeLocationManager.h"
#include "tests/support/FakeMaskedImageView.h"
#include "tests/support/FakePreviewController.h"
#include "tests/support/FakeProgressView.h"
#include "tests/support/FakeStore.h"
#include "tests/support/FakeShareDialog.h"
#include "tests/support/FakeToast.h"
#include "tests/support/FakeURLOpener.h"
#include "tests/support/FakeUserNotificationCenter.h"
#include "tests/support/FakeWebView.h"
#include "tests/support/FakeWindow.h"

#include <memory>
#include <vector>

namespace testsupport {

class FakePlatform {
public:
    // Builds the doubles and installs them.
    FakePlatform();
    FakePlatform(const FakePlatform&) = delete;
    FakePlatform& operator=(const FakePlatform&) = delete;

    std::shared_ptr<FakeApplication> application = std::make_shared<FakeApplication>();
    std::shared_ptr<FakeURLOpener> urlOpener = std::make_shared<FakeURLOpener>();
    std::shared_ptr<FakeUserNotificationCenter> userNotificationCenter = std::make_shared<FakeUserNotificationCenter>();
    std::vector<std::shared_ptr<FakeWindow>> windows;
    std::vector<std::shared_ptr<FakeWebView>> webViews;
    std::vector<std::shared_ptr<FakeProgressView>> progressViews;
    std::shared_ptr<FakePaymentQueue> paymentQueue = std::make_shared<FakePaymentQueue>();
    // Every store request made since, products requests and receipt refreshes alike.
    std::vector<std::shared_ptr<FakeStoreRequest>> storeRequests;
    std::shared_ptr<FakeToast> toast = std::make_shared<FakeToast>();
    std::shared_ptr<FakePreviewController> previewController = std::make_shared<FakePreviewController>();
    std::shared_ptr<FakeShareDialog> shareDialog = std::make_shared<FakeShareDialog>();
    std::vector<std::shared_ptr<FakeAudioPlayer>> audioPlayers;
    std::vector<std::shared_ptr<FakeMaskedImageView>> maskedImageViews;

    // What the location manager factory hands out (the shared LocationServices takes it).
    std::shared_ptr<FakeLocationManager> locationManager = std::make_shared<FakeLocationManager>();
    std::vector<std::shared_ptr<FakeGeocoder>> geocoders;
    std::vector<std::shared_ptr<FakeDocumentPicker>> pickers;

    // The web view made last, or null.
    FakeWebView* lastWebView() const { return webViews.empty() ? nullptr : webViews.back().get(); }
};

} // namespace testsupport
