// Starting background downloads: update packages, lazy files and sync files.

#include "contentserver/ServerCom.h"

#include "base/Config.h"
#include "base/IJReachability.h"
#include "base/JavaScriptString.h"
#include "base/ServerAddress.h"
#include "contentserver/ServerComDownloadDelegate.h"
#include "logger/Logger.h"
#include "platform/Toast.h"
#include "portable/Dispatch.h"
#include "portable/URLComponents.h"

#include <algorithm>

namespace {

constexpr std::chrono::milliseconds toastDuration{2000};
constexpr std::chrono::seconds downloadTimeout{60};
// Where the progress bar sits: its top this far above the view's bottom, this far in from its sides.
constexpr int progressBarDistanceFromBottom = 20;
constexpr int progressBarSideInset = 20;

// A text an address may be made of: it parses, and holds no blank or control character that an
// address can only carry percent-encoded.
bool isAddress(const std::string& text)
{
    const bool clean = std::none_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte <= 0x20 || byte == 0x7f;
    });
    return clean && platform::URLComponents::parse(text).has_value();
}

// Runs `task` on the main queue with the view, when one was given and still exists by then.
void withView(const std::weak_ptr<platform::View>& view, std::function<void(const std::shared_ptr<platform::View>&)> task)
{
    platform::mainQueue().async([view, task = std::move(task)] {
        if (auto alive = view.lock())
            task(alive);
    });
}

std::shared_ptr<platform::Queue> mainQueueHandle()
{
    // The main queue lives as long as the process: the handle owns nothing.
    return std::shared_ptr<platform::Queue>(std::shared_ptr<platform::Queue>(), &platform::mainQueue());
}

} // namespace

void ServerCom::downloadUpdate(std::weak_ptr<platform::View> view, const std::optional<RequestProperties>& requestProps,
                               const std::string& urlStr, const std::string& storeKey,
                               const std::optional<std::string>& dlType, bool auth,
                               std::optional<std::string> lazyListEntry)
{
    if (!IJReachability::isConnectedToNetwork()) {
        LOG_ERROR(NO_INTERNET + ": false");
        platform::mainQueue().async([weak = weak_from_this(), view, text = NO_INTERNET, storeKey] {
            if (view.lock())
                platform::showToast(text, toastDuration, platform::ToastPosition::bottom);
            if (auto self = weak.lock())
                self->removeRunningDownload(storeKey);
        });
        return;
    }

    std::string address;
    std::string identifier;
    if (urlStr.empty()) {
        const auto host = serverURL(true);
        if (!requestProps || !host) {
            LOG_ERROR("Cannot extract updateTypeStr and downloadFilePath from requestProps! ");
            return;
        }
        const std::string& path = requestProps->downloadFilePath;
        address = path.starts_with("https://") ? path : *host + path;
        identifier = requestProps->updateTypeStr + "-";
        // Stored, the reply would cost the settings file; it fails as an update check does.
        if (!isStorableReply(*requestProps)) {
            LOG_ERROR("the update reply holds a text the settings cannot keep as it is");
            removeRunningDownload(storeKey);
            failUpdateCheck();
            return;
        }
        sharedConfig().defaults.set(ZIPSECRET, requestProps->secretKey);
        sharedConfig().defaults.synchronize();
    } else {
        address = urlStr;
        identifier = dlType.value_or("");
    }

    if (auth) {
        if (auto params = makeApiParams()) {
            std::string query = params->queryString(true);
            // The parameters continue the address's query, or begin one.
            if (address.find('?') == std::string::npos && query.starts_with('&'))
                query[0] = '?';
            address += query;
        }
    }
    LOG_DEBUG("will download " + address + " with auth=" + (auth ? "true" : "false"));

    if (!isAddress(address)) {
        withView(view, [text = SERVERCOM_ERROR_WRONG_URL](const auto&) {
            platform::showToast(text, toastDuration, platform::ToastPosition::bottom);
        });
        removeRunningDownload(storeKey);
        LOG_ERROR(SERVERCOM_ERROR_WRONG_URL + ": " + address);
        return;
    }
    std::optional<DownloadKind> kind;
    if (!identifier.empty()) {
        kind = downloadKind(dlType, requestProps ? requestProps->updateTypeStr : "");
        identifier += storeKey;
    }

    withView(view, [weak = weak_from_this(), text = SC_DOWNLOAD_STARTED](const std::shared_ptr<platform::View>& target) {
        auto self = weak.lock();
        if (!self)
            return;
        platform::showToast(text, toastDuration, platform::ToastPosition::bottom);
        self->progressView = platform::makeProgressView();
        self->targetView = target;
        if (self->progressView) {
            target->addSubview(self->progressView);
            self->progressView->pinAlongSuperviewBottom(progressBarDistanceFromBottom, progressBarSideInset);
        }
    });
    if (requestProps)
        sharedConfig().defaults.set(identifier, requestProps->xmlResponse);

    platform::UrlSessionConfiguration configuration;
    configuration.identifier = identifier;
    configuration.delegateQueue = mainQueueHandle();
    configuration.downloadsFolder = sharedConfig().tmpDirURL;
    configuration.downloadDelegate =
        std::make_shared<ServerComDownloadDelegate>(weak_from_this(),
                                                    DownloadContext{kind, std::move(lazyListEntry), {}, {}});
    configuration.willPerformHTTPRedirection = [weak = weak_from_this()](const platform::HttpUrlResponse& response,
                                                                         const platform::UrlRequest& newRequest) {
        auto self = weak.lock();
        return self && self->willPerformHTTPRedirection(response, newRequest);
    };
    auto session = platform::makeUrlSession(std::move(configuration));
    if (!session) {
        LOG_ERROR("no URL session to download " + address);
        removeRunningDownload(storeKey);
        return;
    }
    withView(view, [weak = weak_from_this()](const auto&) {
        auto self = weak.lock();
        if (self && self->progressView)
            self->progressView->setProgress(0, platform::ProgressAnimation::none);
    });

    platform::UrlRequest request;
    request.url = address;
    request.httpMethod = "GET";
    request.timeoutInterval = downloadTimeout;
    session->downloadTask(std::move(request));
}

float ServerCom::downloadProgress(std::int64_t written, std::int64_t expected)
{
    if (expected < 1)
        expected = written < 5000000 ? 5728640 : written + 50000;
    return static_cast<float>(written) / static_cast<float>(expected);
}

std::string ServerCom::fileName(const std::string& query)
{
    const auto url = platform::URLComponents::parse(query);
    if (!url)
        return "";
    for (const auto& item : url->queryItems()) {
        if (item.name != "file")
            continue;
        std::string name = item.value.value_or("");
        std::replace(name.begin(), name.end(), '+', ' ');
        return name;
    }
    return "";
}

void ServerCom::removeRunningDownload(const std::string& storeKey)
{
    const auto page = sharedConfig().defaults.string(storeKey);
    if (!page || page->empty() || !platform::URLComponents::parse(*page))
        return;
    auto running = sharedConfig().runningDownloads.lock();
    if (const auto found = std::find(running->begin(), running->end(), *page); found != running->end())
        running->erase(found);
}

std::string ServerCom::alertScript(const std::string& text)
{
    return "alert('" + escapeJavaScriptString(text, '\'') + "');";
}
