// File syncs: the page's command turned into a background download into the sync folder.

#include "contentserver/ServerCom.h"

#include "base/Config.h"
#include "base/ServerAddress.h"
#include "logger/Logger.h"
#include "platform/Toast.h"
#include "portable/URLComponents.h"
#include "portable/URLResolution.h"
#include "portable/UUID.h"

namespace {

constexpr std::chrono::milliseconds toastDuration{2000};

const std::string* itemValue(const std::vector<platform::QueryItem>& items, const std::string& name, bool& present)
{
    for (const auto& item : items) {
        if (item.name == name) {
            present = true;
            return item.value ? &*item.value : nullptr;
        }
    }
    present = false;
    return nullptr;
}

} // namespace

std::string ServerCom::syncStoreKey(const std::string& url, const std::optional<std::string>& fileName)
{
    std::string key = url;
    // The key is read back as a query, so its first item needs the "?" a relative url lacks.
    const auto append = [&key](const std::string& item) {
        key += key.find('?') == std::string::npos ? '?' : '&';
        key += item;
    };
    if (fileName && url.find("file=") == std::string::npos)
        append("file=" + urlEncode(*fileName).value_or("dummy"));
    append("nsuuid=" + platform::makeUUIDString());
    return key;
}

PageReply ServerCom::syncFile(const std::string& myURL, const PageReply& wView, std::weak_ptr<platform::View> view,
                              bool auth)
{
    const auto command = platform::URLComponents::parse(myURL);
    bool present = false;
    if (command)
        itemValue(command->queryItems(), "callback", present);
    if (!present) {
        LOG_ERROR("No callback found for syncfile call");
        return PageReply();
    }
    const auto fail = [&](const std::string& log, const std::string& toast) {
        LOG_ERROR(log);
        platform::mainQueue().async([view, toast] {
            if (view.lock())
                platform::showToast(toast, toastDuration, platform::ToastPosition::bottom);
        });
        wView.hideAllLoading(PageReply::HideAllLoading::withNullValue);
        return PageReply();
    };

    const std::string* url = itemValue(command->queryItems(), "url", present);
    if (!present)
        return PageReply();
    if (!url)
        return fail("URL not provided", "ERR: 1077: URL is not provided");

    std::string address;
    if (url->find("http") != std::string::npos) {
        LOG_DEBUG("Absolute URL given by js: " + *url);
        address = *url;
    } else {
        const auto server = serverURL(false);
        const auto folder = server ? platform::resolvedURLString(".", *server) : std::nullopt;
        if (!folder)
            return fail("Stored Server URL not found in Storage", "ERR: 1178: Can't load ServerURL");
        address = *folder + *url;
    }

    const std::string* requestedName = itemValue(command->queryItems(), "filename", present);
    const std::string storeKey =
        syncStoreKey(*url, requestedName ? std::optional(*requestedName) : std::nullopt);
    // The file is stored under the name the key carries: without one, or with one that leaves
    // the sync folder, nothing could be stored, so the sync fails here rather than seem to work.
    const std::string name = fileName(storeKey);
    if (!platform::ContainedPath::make(sharedConfig().SYNCURL, name))
        return fail("No usable file name for the sync of " + *url + ": \"" + name + "\"",
                    SERVERCOM_ERROR_WRONG_URL);

    LOG_DEBUG("starting download of " + address);
    // The page of the latest server call, else the page that asks: the end of the sync answers
    // only a page recorded here.
    std::string page;
    for (const auto& candidate : {webView.get(), wView.webView()}) {
        if (auto shown = candidate.lock(); shown && shown->url() && page.empty())
            page = *shown->url();
    }
    if (page.empty())
        LOG_ERROR("cannot get current URL of webview!");
    else {
        sharedConfig().defaults.set(storeKey, page);
        sharedConfig().defaults.synchronize();
    }
    sharedConfig().runningDownloads.lock()->push_back(page);
    downloadUpdate(std::move(view), std::nullopt, address, storeKey, std::string("sync-"), auth);
    return wView;
}
