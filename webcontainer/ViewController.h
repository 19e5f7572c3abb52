#pragma once
// The single screen of the application: it hosts the one web view that shows the web
// application from the web root, and it is the native end of the JavaScript bridge.
//
// Its work is spread over files by role:
//   ViewController.cpp            fields, view life cycle, page loading, landing pages, swipe
//   ViewControllerNavigation.cpp  how navigations end, and which ones the web view may follow
//   ViewControllerUIDelegate.cpp  the page's own alert() and confirm()
//   ViewControllerRouter.cpp      messages the page posts to "callbackHandler"
//   ViewControllerDispatcher.cpp  the bridge's command URLs, run through the command table
//   ViewControllerNotifications.cpp  the notification centre's delegate: reminders and pushes
//                                 that arrive in front, and the user's click on a shown one
//   ViewControllerReactions.cpp   in-process notifications (downloads, purchases, opening URLs,
//                                 push registration) and the return from the background
//   ViewControllerDialogs.cpp     the hidden configuration dialog and the reset to the
//                                 installed state
//   BridgeWords.cpp               every word of the bridge: the router's plain words and the
//                                 command table's words
//
// Main thread only. The window owns the screen; work posted to the main queue and the web
// view's callbacks hold the screen weakly and do nothing once it is gone.

#include "base/WebScreen.h"
#include "platform/Clock.h"
#include "platform/Screen.h"
#include "platform/UserNotificationCenter.h"
#include "platform/WebView.h"
#include "portable/NotificationCenter.h"
#include "portable/PlistValue.h"
#include "webcontainer/BridgeScreen.h"
#include "webcontainer/CommandURL.h"

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

class CommandTable;

class ViewController : public platform::Screen,
                       public BridgeScreen,
                       public platform::UserNotificationCenterDelegate,
                       public WebScreen,
                       public std::enable_shared_from_this<ViewController> {
public:
    // The content server's update check and its decision, shown over `view`; `wakeup` marks a
    // wake-up check.
    using UpdateCheck = std::function<void(const std::weak_ptr<platform::View>& view, bool wakeup)>;
    // The shared content server's update check.
    static void contentServerUpdateCheck(const std::weak_ptr<platform::View>& view, bool wakeup);

    // A screen that runs the page's command URLs through `commands` and hands its update checks
    // to `updateCheck`. `commands` must outlive the screen.
    ViewController(const CommandTable& commands, UpdateCheck updateCheck);
    // The screen the application shows: the shared command table and the shared content
    // server's update check.
    ViewController();
    ~ViewController() override;

    // Localized texts, looked up once at construction by a key equal to the field's name.
    const std::string PUSH_SUBSCRIPTION_SUCCESS;
    const std::string ERROR_REGISTER_GCM;
    const std::string ERROR_LOCAL_DATA;
    const std::string ERROR_LOCAL_DATA_HOME;
    const std::string ERROR_LOCAL_DATA_RESET;
    const std::string UPDATE_IN_PROGRESS;
    const std::string VC_UPDATE;
    const std::string VC_Q_UPDATE;
    const std::string VC_RESET;
    const std::string VC_Q_RESET;
    const std::string VC_FILE_DELETE_ERROR;
    const std::string IAP_START_PURCHASE;

    // The one web view; replaced by every initWebView().
    std::shared_ptr<platform::WebView> webView;
    // A script to run once when the next navigation finishes.
    std::string landingScript;
    // Whether a downward swipe may ask the page for a background update now.
    bool isSwipeDownEnabled = true;

    // View life cycle: once loaded, the screen is the notification centre's delegate and the
    // content server's web screen; before it appears it observes the in-process notifications
    // (each observer first removed, so appearing again never doubles one); the first appearance
    // loads the start page; leaving the screen, or its end, removes its observers.
    void viewDidLoad() override;
    void viewWillAppear() override;
    void viewDidAppear() override;
    void viewWillDisappear() override;

    // Queues initWebView(page) on the main queue and returns at once. `page` is a path below
    // the web root as getIndexPage() returns it ("/index.html").
    void loadPage(const std::string& page) override;
    // Replaces the web view by a new one (with an engine context of its own) and loads `page`.
    // A page named by an opening URL or a tapped push wins over `page`, once.
    void initWebView(std::string page);

    // How every web view of the screen is configured.
    static platform::WebViewConfiguration webViewConfiguration();
    // A web view made ahead of its page, which no page has been loaded into yet.
    struct PreparedWebView {
        platform::WebViewConfiguration configuration;
        std::shared_ptr<platform::WebView> view;
    };
    // Makes one with webViewConfiguration(). The splash screen does so while it stands, so the
    // start of the engine and of its processes is off the first page's path.
    static PreparedWebView prepareWebView();
    // The next initWebView() takes `prepared` in place of a new web view, unless the
    // configuration has changed since it was made.
    void adoptPreparedWebView(PreparedWebView prepared);
    // The path below the web root for a page name or a page URL text: the language variant
    // "/name_<lang>.html" for the chosen language ("clang") or the first preferred language
    // when that file exists, else "/name.html". A query's items are stored as settings first.
    std::string getIndexPage(std::string name);
    // Loads landingPage, or the start page when there is none.
    void reloadWebView() override;
    // Takes over the "landingPage" of `userInfo` (kept for the next reload when another one
    // waits) and loads it into the current web view. False when there is none.
    bool relocateURL(const platform::PlistDict& userInfo);
    // The downward swipe: asks the page for a background update, at most once within 30
    // seconds of the last swipe.
    void swiped();

    // Navigation (the web view's navigation callbacks and policy).
    void webViewDidFinish(const std::shared_ptr<platform::WebView>& view);
    void webViewDidFail(const std::shared_ptr<platform::WebView>& view, const platform::WebView::NavigationError& error);
    void webViewDidFailProvisionalNavigation(const std::shared_ptr<platform::WebView>& view,
                                             const platform::WebView::NavigationError& error);
    void webViewWebContentProcessDidTerminate(const std::shared_ptr<platform::WebView>& view);
    // Gives `decisionHandler` allow or cancel exactly once.
    void webViewDecidePolicy(const std::shared_ptr<platform::WebView>& view,
                             const platform::WebView::NavigationAction& action,
                             const platform::WebView::DecisionHandler& decisionHandler);

    // The page's alert() and confirm(), shown through the alert helper.
    void webViewRunScriptDialog(const platform::WebView::ScriptDialog& dialog,
                                const platform::WebView::ScriptDialogCompletion& completion);

    // Every message the page posts to a script-message handler: the plain words act here,
    // every text holding "?" is a command URL for actionDispatcher(), anything else (a body that
    // is no text among it) is ignored.
    void userContentController(const std::string& name, const std::optional<std::string>& body);
    // Runs the page's command through the bridge's command table; an unknown word does nothing.
    void actionDispatcher(CommandURL myURL);

    // The notification centre's delegate. A reminder that arrives in front is shown as a toast
    // in the centre for 4 seconds and by the desktop too; a push in front only as the push
    // toast; clicking a reminder loads its landing page (or reloads), clicking a push handles
    // it as a push that opened the application.
    void willPresent(platform::UserNotificationCenter& center, const platform::UserNotification& notification,
                     std::function<void(platform::NotificationPresentationOptions)> completionHandler) override;
    void didReceive(platform::UserNotificationCenter& center, const platform::UserNotificationResponse& response,
                    std::function<void()> completionHandler) override;

    // Reactions to in-process notifications. The observers run on the main queue whatever
    // thread posted, and hold the screen weakly.
    //
    // The notification named with the bundle identifier (a download's end, a server reply that
    // names a file or a landing page): passes its user info on.
    void actOnSpecialNotification(const platform::Notification& notification);
    // In this order, the first case that applies ends it: a "storeKey" ends a sync (its page
    // address leaves the running downloads, the page's sync callback is called); an "xmlstr"
    // ends an update (its landing page waits for the reload, a toast, the reload); a
    // "filereceived" of "true" relocates to a "landingPage" if there is one; otherwise a
    // "landingPage" relocates, and without one the page reloads. Every case first sets the
    // application state to fresh and hides the page's loading indicators.
    void reactOnDownloadFinishedNotification(const platform::PlistDict& userInfo);
    // "url.scheme_id": the opening URL's last path component and query become the landing page;
    // then the page reloads.
    void actOnUrlScheme(const platform::Notification& notification);
    // "IAPComPurchaseNotification" with "identifier" and "receiptData": sends the receipt to the
    // content server as {"action":"purchase/ios","token":…,"sku":…}.
    void actOnPurchaseNotification(const platform::Notification& notification);
    // "IAPComRestoreNotification": sends every receipt of "receiptSet" to the content server;
    // the reply goes to the page of the latest "restorePurchase" with a callback.
    void actOnRestoreNotification(const platform::Notification& notification);
    // "onRegistrationCompleted": a toast for the push registration's outcome.
    void updateRegistrationStatus(const platform::Notification& notification);
    // The application comes back to the foreground: the page reloads after more than 15
    // minutes away, the page's real-time channel connects again, then the update check
    // decides on a refresh.
    void actOnReturnFromBackground();
    // Starts the update check when the time since "lastUpdateCheck" passed the minutes of
    // "autorefresh" (missing: 1800, 0: never, -1: always) and, as a wake-up check, of
    // "wakeuprefresh" (missing or 0: never, -1: always); then stores the time of this check.
    void checkForUpdates();
    // The non-encoded text of a restore sent to the content server: "&do=restorePurchase%2Fios"
    // then "&token[]=" and each receipt, percent-encoded (letters, digits and "-._~/?" stay).
    static std::string restoreRequestText(const std::vector<std::string>& receipts);

    // The hidden configuration dialog: four fields for the settings "app", "baseURL",
    // "updateXMLPath" and "updateFileBasePath"; "Save" stores their texts ("" for an empty
    // field), "Cancel" changes nothing. Presented over the window; returns at once.
    void showConfigDialog();
    // Back to the installed state: the settings are reset to their defaults, the bundle's
    // "app.zip" replaces the web root (unpacked aside first; a failed unpack changes nothing),
    // the update package and the sync folder go, the page's postReset() runs after the start
    // page has loaded.
    void resetToDefaultSettings();

    // What the bridge commands reach of the screen.
    std::shared_ptr<platform::WebView> pageWebView() const override { return webView; }
    std::shared_ptr<platform::View> screenView() const override { return view(); }
    void presentAlert(const std::string& title, const std::string& message, AlertButton first,
                      std::optional<AlertButton> second = std::nullopt) override;
    std::shared_ptr<platform::View> rootView() const override { return view(); }
    // The update check the screen was given, with this screen's view.
    void showUpdateDialog(bool wakeup) override;

private:
    // A plain word of the router and what the screen does for it.
    struct PlainWord {
        const char* word;
        void (*action)(ViewController& screen);
    };
    // The router's plain words in the order they are compared (BridgeWords.cpp).
    static const std::vector<PlainWord>& plainWords();

    void connect(const std::shared_ptr<platform::WebView>& view);
    static void disconnect(platform::WebView& view);
    void reenableSwipeWhenDue();
    // Registers the in-process observers of the reactions.
    void addObservers();
    // Router entries.
    void cancelLazyLoad();
    void resumeLazyLoad();
    void clearAllValues();
    void showAppSettings();
    void updateWithQuestion();
    void answerPushNotificationActive();
    void askForReset();

    const CommandTable& commands_;
    const UpdateCheck updateCheck_;
    PreparedWebView prepared_;
    // When the swipe may be let through again: 30 seconds after the most recent swipe.
    platform::TimePoint swipeReenableTime_{};
    // Failing page URLs already loaded again once; forgotten when a navigation finishes.
    std::set<std::string> retriedURLs_;
};
