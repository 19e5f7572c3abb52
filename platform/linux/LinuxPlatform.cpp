#include "platform/Platform.h"

#include "platform/linux/CurlUrlSession.h"
#include "platform/linux/GeoClueLocationManager.h"
#include "platform/linux/GioURLOpener.h"
#include "platform/linux/GioUserNotificationCenter.h"
#include "platform/linux/GstAudioPlayer.h"
#include "platform/linux/GtkDocumentPicker.h"
#include "platform/linux/GtkPreviewController.h"
#include "platform/linux/GtkShareDialog.h"
#include "platform/linux/GtkToast.h"
#include "platform/linux/LinuxApplication.h"
#include "platform/linux/LinuxMaskedImageView.h"
#include "platform/linux/LinuxProgressView.h"
#include "platform/linux/LinuxWebView.h"
#include "platform/linux/LinuxWindow.h"
#include "platform/linux/LocalPaymentQueue.h"
#include "platform/linux/LocalStoreRequest.h"
#include "platform/linux/NetworkMonitorReachability.h"
#include "platform/linux/NominatimGeocoder.h"
#include "platform/linux/UnifiedPushConnector.h"
#include "platform/linux/WebProcessSandbox.h"
#include "platform/linux/WebsiteDataFolders.h"
#include "portable/Bundle.h"
#include "portable/Paths.h"

namespace platform {
namespace {

// The confining web-process extension: in the bundle in the build tree; installed, in the
// library folder (its place relative to the executable's).
std::filesystem::path webExtensionsFolder()
{
    const auto inBundle = Bundle::main()->resourcePath() / "web-extensions";
    if (std::error_code ignored; std::filesystem::is_directory(inBundle, ignored))
        return inBundle;
    return (paths::executableDirectory() / WEBCONTAINER_INSTALLED_WEB_EXTENSIONS).lexically_normal();
}

} // namespace

Platform makeLinuxPlatform()
{
    Platform linux;
    linux.reachability = std::make_shared<NetworkMonitorReachability>();
    linux.application = std::make_shared<LinuxApplication>(Bundle::main()->identifier().value_or(""));
    linux.makeWindow = [] {
        return std::make_shared<LinuxWindow>(GTK_WINDOW(gtk_window_new(GTK_WINDOW_TOPLEVEL)));
    };
    linux.makeWebView = [](const WebViewConfiguration& configuration) -> std::shared_ptr<WebView> {
        return std::make_shared<LinuxWebView>(
            configuration, gtk::WebProcessSandbox::enabled(), webExtensionsFolder(),
            gtk::WebsiteDataFolders::prepare(Bundle::main()->identifier().value_or("webcontainer")));
    };
    linux.urlOpener = std::make_shared<GioURLOpener>();
    linux.makeUrlSession = [](UrlSessionConfiguration configuration) -> std::shared_ptr<UrlSession> {
        return std::make_shared<CurlUrlSession>(std::move(configuration));
    };
    linux.toast = std::make_shared<GtkToast>();
    linux.makeProgressView = []() -> std::shared_ptr<ProgressView> { return std::make_shared<LinuxProgressView>(); };
    linux.userNotificationCenter = std::make_shared<GioUserNotificationCenter>();
    // No store an application can sell through: the local store, which charges nothing.
    linux.paymentQueue = std::make_shared<LocalPaymentQueue>(LocalStoreFiles::forMainBundle());
    linux.makeProductsRequest = [](std::set<std::string> identifiers) -> std::shared_ptr<StoreRequest> {
        return std::make_shared<LocalStoreRequest>(LocalStoreFiles::forMainBundle(), StoreRequest::Kind::products,
                                                   std::move(identifiers));
    };
    linux.makeReceiptRefreshRequest = []() -> std::shared_ptr<StoreRequest> {
        return std::make_shared<LocalStoreRequest>(LocalStoreFiles::forMainBundle(), StoreRequest::Kind::receiptRefresh);
    };
    // Beside the settings, out of the page's reach.
    linux.pushService = std::make_shared<UnifiedPushConnector>(
        paths::configHome() / Bundle::main()->identifier().value_or("webcontainer") / "unifiedpush-token");
    linux.makeAudioPlayer = [](const std::filesystem::path& file, std::string& error) -> std::shared_ptr<AudioPlayer> {
        return GstAudioPlayer::create(file, error);
    };
    linux.previewController = std::make_shared<GtkPreviewController>();
    linux.shareDialog = std::make_shared<GtkShareDialog>();
    linux.makeMaskedImageView = []() -> std::shared_ptr<MaskedImageView> {
        return std::make_shared<LinuxMaskedImageView>();
    };
    linux.makeLocationManager = []() -> std::shared_ptr<LocationManager> {
        return std::make_shared<GeoClueLocationManager>(Bundle::main()->identifier().value_or("webcontainer"));
    };
    linux.makeGeocoder = []() -> std::shared_ptr<Geocoder> {
        return std::make_shared<NominatimGeocoder>(NominatimGeocoder::configuredBaseURL(), "");
    };
    linux.makeDocumentPicker = [](DocumentTypes types) -> std::shared_ptr<DocumentPicker> {
        return std::make_shared<GtkDocumentPicker>(types);
    };
    return linux;
}

} // namespace platform
