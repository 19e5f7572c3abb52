#pragma once
// The installed platform: one implementation of each platform interface. main() installs the
// Linux platform; tests install doubles. The subsystem folders reach the operating system only
// through these.
//
// Install before any other thread uses the platform; afterwards it is only read.

#include "platform/Reachability.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>

namespace platform {

class Application;
class URLOpener;
class WebView;
class Window;
struct WebViewConfiguration;
class Toast;
class ProgressView;
class UserNotificationCenter;
class PaymentQueue;
class StoreRequest;
class PushService;
class LocationManager;
class Geocoder;
class DocumentPicker;
enum class DocumentTypes;
class UrlSession;
struct UrlSessionConfiguration;
class AudioPlayer;
class PreviewController;
class ShareDialog;
class MaskedImageView;

struct Platform {
    // One member per platform interface, added with the interface. A member left empty means
    // the service is not available.
    std::shared_ptr<Reachability> reachability;
    // Makes URL sessions (platform/UrlSession.h).
    std::function<std::shared_ptr<UrlSession>(UrlSessionConfiguration)> makeUrlSession;
    // Toasts over the application's window (platform/Toast.h).
    std::shared_ptr<Toast> toast;
    // The application loop, its window and its life-cycle events.
    std::shared_ptr<Application> application;
    // A new main window with an empty content view (the application makes its own with it).
    std::function<std::shared_ptr<Window>()> makeWindow;
    // A new web view, with an engine context of its own (no process shared with other views).
    std::function<std::shared_ptr<WebView>(const WebViewConfiguration&)> makeWebView;
    // Opens URLs with the desktop's handlers.
    std::shared_ptr<URLOpener> urlOpener;
    // A new progress bar, to be added to a view (platform/ProgressView.h).
    std::function<std::shared_ptr<ProgressView>()> makeProgressView;
    // The desktop's notifications, shown now or after a while (platform/UserNotificationCenter.h).
    std::shared_ptr<UserNotificationCenter> userNotificationCenter;
    // The store (platform/PaymentQueue.h, platform/StoreRequest.h): its default payment queue,
    // new products requests for a set of identifiers, and new receipt refreshes.
    std::shared_ptr<PaymentQueue> paymentQueue;
    std::function<std::shared_ptr<StoreRequest>(std::set<std::string>)> makeProductsRequest;
    std::function<std::shared_ptr<StoreRequest>()> makeReceiptRefreshRequest;
    // Registration for push messages and their delivery (platform/PushService.h).
    std::shared_ptr<PushService> pushService;
    // A player for an audio file, or nothing with the reason in the text (platform/AudioPlayer.h).
    std::function<std::shared_ptr<AudioPlayer>(const std::filesystem::path&, std::string&)> makeAudioPlayer;
    // The preview window of local files (platform/PreviewController.h).
    std::shared_ptr<PreviewController> previewController;
    // The dialog that shares a text (platform/ShareDialog.h).
    std::shared_ptr<ShareDialog> shareDialog;
    // A new view of a picture seen through an animated mask (platform/MaskedImageView.h).
    std::function<std::shared_ptr<MaskedImageView>()> makeMaskedImageView;
    // New location managers and reverse geocoders (platform/LocationManager.h, platform/Geocoder.h).
    std::function<std::shared_ptr<LocationManager>()> makeLocationManager;
    std::function<std::shared_ptr<Geocoder>()> makeGeocoder;
    // A new file-choosing dialog offering `types` (platform/DocumentPicker.h).
    std::function<std::shared_ptr<DocumentPicker>(DocumentTypes types)> makeDocumentPicker;
};

// The installed platform. Until something is installed every member is empty: nothing builds
// the real platform behind a caller's back (main() installs it; tests install doubles).
Platform& current();
void install(Platform platform);

// The Linux implementations (platform/linux/, its own library).
Platform makeLinuxPlatform();

} // namespace platform
