// The web screen: its fields, view life cycle, page loading, landing pages and the swipe.
#include "webcontainer/ViewController.h"

#include "base/Config.h"
#include "base/JavaScriptCalls.h"
#include "base/LocalizedTexts.h"
#include "base/SettingsImport.h"
#include "base/SharedInstances.h"
#include "base/UIHelpers.h"
#include "contentserver/ServerCom.h"
#include "logger/Logger.h"
#include "platform/Platform.h"
#include "platform/UserNotificationCenter.h"
#include "portable/Bundle.h"
#include "portable/Dispatch.h"
#include "portable/FileURL.h"
#include "portable/URLComponents.h"
#include "services/PushNotificationUtils.h"
#include "webcontainer/BridgeProtocol.h"
#include "webcontainer/CommandTable.h"

namespace {

constexpr auto kSwipeInterval = std::chrono::seconds(30);

std::string describeList(const std::vector<std::string>& items)
{
    std::string text = "[";
    for (std::size_t i = 0; i < items.size(); ++i)
        text += (i ? ", \"" : "\"") + items[i] + "\"";
    return text + "]";
}

} // namespace

void ViewController::contentServerUpdateCheck(const std::weak_ptr<platform::View>& view, bool wakeup)
{
    sharedServerCom().showUpdateDialog(view, wakeup);
}

ViewController::ViewController()
    : ViewController(bridgeCommandTable(), contentServerUpdateCheck)
{
}

ViewController::ViewController(const CommandTable& commands, UpdateCheck updateCheck)
    : PUSH_SUBSCRIPTION_SUCCESS(localizedString("PUSH_SUBSCRIPTION_SUCCESS"))
    , ERROR_REGISTER_GCM(localizedString("ERROR_REGISTER_GCM"))
    , ERROR_LOCAL_DATA(localizedString("ERROR_LOCAL_DATA"))
    , ERROR_LOCAL_DATA_HOME(localizedString("ERROR_LOCAL_DATA_HOME"))
    , ERROR_LOCAL_DATA_RESET(localizedString("ERROR_LOCAL_DATA_RESET"))
    , UPDATE_IN_PROGRESS(localizedString("UPDATE_IN_PROGRESS"))
    , VC_UPDATE(localizedString("VC_UPDATE"))
    , VC_Q_UPDATE(localizedString("VC_Q_UPDATE"))
    , VC_RESET(localizedString("VC_RESET"))
    , VC_Q_RESET(localizedString("VC_Q_RESET"))
    , VC_FILE_DELETE_ERROR(localizedString("VC_FILE_DELETE_ERROR"))
    , IAP_START_PURCHASE(localizedString("IAP_START_PURCHASE"))
    , commands_(commands)
    , updateCheck_(std::move(updateCheck))
{
}

ViewController::~ViewController()
{
    sharedNotificationCenter().removeObserver(this);
    if (webView)
        disconnect(*webView);
}

void ViewController::viewDidLoad()
{
    if (const auto& center = platform::current().userNotificationCenter)
        center->setDelegate(weak_from_this());
    sharedServerCom().viewController = weak_from_this();
}

void ViewController::viewDidAppear()
{
    if (!webView)
        loadPage(getIndexPage("index"));
    sharedPushNotificationUtils().view = view();
}

void ViewController::viewWillDisappear()
{
    sharedNotificationCenter().removeObserver(this);
}

void ViewController::loadPage(const std::string& page)
{
    platform::mainQueue().async([weak = weak_from_this(), page] {
        if (auto self = weak.lock())
            self->initWebView(page);
    });
}

void ViewController::initWebView(std::string page)
{
    Config& config = sharedConfig();
    const bool startedViaURL = config.isStartedViaURLscheme.exchange(false);
    const bool startedViaTap = config.isStartedViaPNTap.exchange(false);
    const bool launchedViaTap = config.isLaunchedViaPNTap.exchange(false);
    if (startedViaURL || startedViaTap || launchedViaTap) {
        // A start by URL or push without a landing page shows the page asked for.
        const std::string landing = config.URLschemeLanding.exchange("");
        if (!landing.empty())
            page = getIndexPage(landing);
    }

    if (view()) {
        const auto subviews = view()->subviews();
        for (const auto& subview : subviews) {
            if (auto* old = dynamic_cast<platform::WebView*>(subview.get())) {
                disconnect(*old);
                subview->removeFromSuperview();
                LOG_DEBUG("removed all webviews");
            }
        }
    }
    if (webView)
        disconnect(*webView);

    const auto configuration = webViewConfiguration();
    auto prepared = std::exchange(prepared_, {});
    webView = prepared.view && prepared.configuration == configuration ? std::move(prepared.view)
                                                                       : platform::current().makeWebView(configuration);
    connect(webView);

    const std::string path = config.WEBROOT + page;
    LOG_DEBUG("init webview with: " + path);
    LOG_DEBUG("Allowing access to " + platform::fileURLString(config.BASEURL));
    webView->loadFileURL(path, config.BASEURL);

    if (view()) {
        view()->addSubview(webView);
        bindFrameToSuperviewBounds(*webView);
    }
    landingPage.clear();
    sharedPushNotificationUtils().webView = webView;
}

platform::WebViewConfiguration ViewController::webViewConfiguration()
{
    platform::WebViewConfiguration configuration;
    configuration.scriptMessageHandlers = {kBridgeHandlerName};
    configuration.readAccessFolder = sharedConfig().BASEURL;
    configuration.allowFileAccessFromFileURLs = true;
    configuration.allowsInlineMediaPlayback = true;
    configuration.allowsBackForwardNavigationGestures = true;
    configuration.transparentBackground = true;
    return configuration;
}

ViewController::PreparedWebView ViewController::prepareWebView()
{
    auto configuration = webViewConfiguration();
    auto view = platform::current().makeWebView(configuration);
    return {std::move(configuration), std::move(view)};
}

void ViewController::adoptPreparedWebView(PreparedWebView prepared)
{
    prepared_ = std::move(prepared);
}

void ViewController::connect(const std::shared_ptr<platform::WebView>& view)
{
    using platform::WebView;
    std::weak_ptr<ViewController> weakSelf = weak_from_this();
    std::weak_ptr<WebView> weakView = view;
    // Runs `body` with the screen and the web view, while both still exist.
    auto with = [weakSelf, weakView](auto body) {
        return [weakSelf, weakView, body](auto&&... args) {
            auto self = weakSelf.lock();
            auto webView = weakView.lock();
            if (self && webView)
                body(*self, webView, args...);
        };
    };
    view->onScriptMessage = with([](ViewController& self, const auto&, const std::string& name,
                                    const std::optional<std::string>& body) { self.userContentController(name, body); });
    view->onNavigationFinished = with([](ViewController& self, const auto& webView) { self.webViewDidFinish(webView); });
    view->onNavigationFailed = with([](ViewController& self, const auto& webView, const WebView::NavigationError& error) {
        self.webViewDidFail(webView, error);
    });
    view->onProvisionalNavigationFailed =
        with([](ViewController& self, const auto& webView, const WebView::NavigationError& error) {
            self.webViewDidFailProvisionalNavigation(webView, error);
        });
    view->onWebContentProcessTerminated =
        with([](ViewController& self, const auto& webView) { self.webViewWebContentProcessDidTerminate(webView); });
    // A question that finds the screen gone is cancelled when its handler is dropped.
    view->onDecidePolicy = with([](ViewController& self, const auto& webView, const WebView::NavigationAction& action,
                                   const WebView::DecisionHandler& handler) {
        self.webViewDecidePolicy(webView, action, handler);
    });
    view->onScriptDialog = with([](ViewController& self, const auto&, const WebView::ScriptDialog& dialog,
                                   const WebView::ScriptDialogCompletion& completion) {
        self.webViewRunScriptDialog(dialog, completion);
    });
    view->onSwipeDown = with([](ViewController& self, const auto&) { self.swiped(); });
}

void ViewController::disconnect(platform::WebView& view)
{
    // A replaced web view is off screen: what it still reports means nothing to the screen,
    // and it follows no navigation any more.
    view.onScriptMessage = nullptr;
    view.onNavigationFinished = nullptr;
    view.onNavigationFailed = nullptr;
    view.onProvisionalNavigationFailed = nullptr;
    view.onWebContentProcessTerminated = nullptr;
    view.onDecidePolicy = [](const platform::WebView::NavigationAction&,
                             const platform::WebView::DecisionHandler& handler) {
        handler(platform::WebView::NavigationActionPolicy::cancel);
    };
    view.onScriptDialog = nullptr;
    view.onSwipeDown = nullptr;
}

std::string ViewController::getIndexPage(std::string name)
{
    if (const auto url = platform::URLComponents::parse(name); url && url->percentEncodedQuery()) {
        saveQueryParams(name);
        name = url->lastPathComponent();
    }
    if (const auto html = name.find(".html"); html != std::string::npos)
        name.erase(html);

    Config& config = sharedConfig();
    auto exists = [&](const std::string& page) { return config.fm.fileExists(config.WEBROOT + page); };
    if (const auto clang = config.defaults.string("clang"); clang && !clang->empty()) {
        const std::string page = "/" + name + "_" + *clang + ".html";
        if (exists(page))
            return page;
    }
    const auto languages = platform::preferredLanguages();
    LOG_DEBUG("LANG: preferred languages: " + describeList(languages));
    if (!languages.empty()) {
        const std::string page = "/" + name + "_" + languages.front().substr(0, 2) + ".html";
        if (exists(page))
            return page;
    }
    return "/" + name + ".html";
}

void ViewController::reloadWebView()
{
    LOG_DEBUG("RELOAD WEBVIEW ");
    std::string page;
    if (!landingPage.empty()) {
        LOG_DEBUG("reload webview with landingpage: " + landingPage);
        page = getIndexPage(landingPage);
    } else {
        page = getIndexPage("index");
    }
    loadPage(page);
}

bool ViewController::relocateURL(const platform::PlistDict& userInfo)
{
    const auto entry = userInfo.find("landingPage");
    if (entry == userInfo.end() || !entry->second.isString())
        return false;
    const std::string landing = *entry->second.asString();
    LOG_DEBUG("set landingpage to " + landing);
    if (landingPage.empty())
        landingPage = landing;
    platform::mainQueue().async([weak = weak_from_this(), landing] {
        auto self = weak.lock();
        if (!self || !self->webView)
            return;
        Config& config = sharedConfig();
        self->webView->loadFileURL(config.WEBROOT + self->getIndexPage(landing), config.BASEURL);
    });
    return true;
}

void ViewController::swiped()
{
    LOG_DEBUG("Swiped down");
    // The swipe becomes possible again 30 seconds after the most recent swipe: the timer of an
    // earlier swipe is due now if its time has come, and this swipe starts the time afresh.
    reenableSwipeWhenDue();
    swipeReenableTime_ = platform::now() + kSwipeInterval;
    platform::mainQueue().async([weak = weak_from_this()] {
        auto self = weak.lock();
        if (!self || !self->isSwipeDownEnabled)
            return;
        self->isSwipeDownEnabled = false;
        callJS("update(null,'background')", self->webView);
    });
    platform::mainQueue().asyncAfter(kSwipeInterval, [weak = weak_from_this()] {
        if (auto self = weak.lock())
            self->reenableSwipeWhenDue();
    });
}

void ViewController::reenableSwipeWhenDue()
{
    if (!isSwipeDownEnabled && platform::now() >= swipeReenableTime_)
        isSwipeDownEnabled = true;
}
