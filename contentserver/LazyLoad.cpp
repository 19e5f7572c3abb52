#include "contentserver/LazyLoad.h"

#include "base/Config.h"
#include "base/JavaScriptCalls.h"
#include "base/PageReply.h"
#include "base/ServerAddress.h"
#include "base/SharedInstances.h"
#include "contentserver/ServerCom.h"
#include "logger/Logger.h"
#include "platform/Toast.h"
#include "portable/Check.h"
#include "portable/Dispatch.h"
#include "portable/URLComponents.h"

#include <ctime>

namespace {

constexpr std::chrono::milliseconds toastDuration{2000};

LazyLoad::lazyLoadMode configuredMode(const std::string& key)
{
    const auto value = sharedConfig().defaults.string(key);
    if (value == "all")
        return LazyLoad::lazyLoadMode::all;
    if (value == "nonhtml")
        return LazyLoad::lazyLoadMode::nonhtml;
    return LazyLoad::lazyLoadMode::none;
}

std::string describe(platform::TimePoint time)
{
    const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[64];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S %z", &local);
    return text;
}

std::string decoded(const std::string& text)
{
    return platform::removingPercentEncoding(text).value_or(text);
}

// Runs `script` in the page when the web view still exists, else queues it for the next page.
void tellPage(const std::weak_ptr<platform::WebView>& webView, const std::string& script)
{
    if (webView.lock())
        callJS(script, webView);
    else
        sharedConfig().stackOfJScript.lock()->push(script);
}

} // namespace

LazyLoad::LazyLoad() : configuredLazyLoadMode(configuredMode(lazyLoadStoreKey)) {}

std::optional<std::vector<std::string>> LazyLoad::storedList() const
{
    return sharedConfig().defaults.stringArray(sharedConfig().LAZYLOAD_STORE_KEY);
}

void LazyLoad::startLazyLoad(const std::weak_ptr<platform::WebView>& webView)
{
    platform::requireMainThread();
    lazyLoadFiles = storedList();
    lazyLoadTotal = lazyLoadFiles ? static_cast<std::int64_t>(lazyLoadFiles->size()) : 0;
    lazyLoadNext(webView);
}

void LazyLoad::lazyLoadNext(const std::weak_ptr<platform::WebView>& webView)
{
    platform::requireMainThread();
    if (lazyLoadSuspendUntil) {
        const auto now = platform::now();
        LOG_DEBUG("lazyload LSU: " + describe(*lazyLoadSuspendUntil) + " current: " + describe(now));
        if (*lazyLoadSuspendUntil >= now) {
            LOG_DEBUG("lazyLoadSuspendUntil (" + describe(*lazyLoadSuspendUntil) + ") is > current Time " +
                      describe(now) + " ");
            return;
        }
    }

    lazyLoadFiles = storedList();
    if (!lazyLoadFiles || lazyLoadFiles->empty()) {
        LOG_DEBUG("no more files to lazy load");
        platform::mainQueue().async([webView] {
            if (webView.lock())
                PageReply(webView).hideAllLoading(PageReply::HideAllLoading::withNullValue);
            else
                sharedConfig().stackOfJScript.lock()->push("if (window.hideAllLoading) { hideAllLoading(); }");
        });
        return;
    }
    const std::string file = lazyLoadFiles->back();
    lazyLoadFiles->pop_back();
    LOG_DEBUG("LL: Popped file: " + file + " from List");
    platform::mainQueue().async([webView] {
        if (SharedInstances::has<LazyLoad>())
            sharedLazyLoad().sendProgressNotice(webView);
    });

    const auto server = serverURL(false);
    if (!server) {
        LOG_ERROR("LazyLoad: Stored Server URL not found in Storage");
        platform::mainQueue().async([webView] {
            if (webView.lock())
                platform::showToast("ERR: 1178: Can't load ServerURL", toastDuration, platform::ToastPosition::bottom);
            PageReply(webView).hideAllLoading(PageReply::HideAllLoading::withNullValue);
        });
        return;
    }

    // The entry is percent-encoded as in a file URL, which leaves "&", "+", "=", ";" and "#"
    // as they are: as a query value they would split the query or change the name.
    const std::string value = encodedQueryValue(file);
    const std::string query = "?action=file&name=" + value + "&file=" + value;
    std::weak_ptr<platform::View> superview;
    if (const auto view = webView.lock(); view && view->superview())
        superview = view->superview()->weak_from_this();
    sharedServerCom().downloadUpdate(superview, std::nullopt, *server + query, query, "lazy-", true, file);
}

void LazyLoad::sendProgressNotice(const std::weak_ptr<platform::WebView>& webView)
{
    const std::int64_t left = lazyLoadFiles ? static_cast<std::int64_t>(lazyLoadFiles->size()) : 0;
    const std::int64_t done = lazyLoadTotal - left;
    tellPage(webView, "if (window.showLazyLoadNotification) {showLazyLoadNotification(" + std::to_string(done) + ", " +
                          std::to_string(lazyLoadTotal) + ");}");
}

void LazyLoad::remove(const std::string& fileFromList)
{
    LOG_DEBUG("will remove " + fileFromList + " from List of lazyload files");
    Config& config = sharedConfig();
    auto list = storedList();
    if (!list)
        return;
    const std::string name = decoded(fileFromList);
    std::erase_if(*list, [&](const std::string& entry) { return decoded(entry) == name; });
    const auto value = platform::PlistValue::stringArray(*list);
    LOG_DEBUG("saving remaining files: " + value.description());
    config.defaults.set(config.LAZYLOAD_STORE_KEY, value);
    config.defaults.synchronize();
}

LazyLoad& sharedLazyLoad()
{
    return SharedInstances::get<LazyLoad>();
}
