#pragma once
// What an arriving push message does: it is shown as a toast over the web screen, and then
// either records its landing page for the next page load (the user opened the application
// through it) or runs its script in the page (it arrived while the application was in front).
// Also asks for notification permission, which ends in the registration for push messages.
//
// Payload, as read here (other keys are ignored):
//   "aps": {"alert": {"title": text, "body": text}, "landingPage": text, "scriptFG": text}
//   "appState": the application's state when it arrived, 0 active, 1 inactive, 2 background;
//               missing: the toast only.
//
// Threads: main thread only, like its callers (the in-process notification "apn.didRRN" is
// observed on the main queue, whatever thread posts it). The composition root builds the one
// shared instance; it observes "apn.didRRN" from its construction to its destruction. It holds
// the web view and the screen's view weakly.

#include "platform/UserNotificationCenter.h"
#include "platform/View.h"
#include "platform/WebView.h"
#include "portable/NotificationCenter.h"
#include "portable/PlistValue.h"

#include <memory>

class PushNotificationUtils {
public:
    PushNotificationUtils();
    PushNotificationUtils(const PushNotificationUtils&) = delete;
    PushNotificationUtils& operator=(const PushNotificationUtils&) = delete;
    ~PushNotificationUtils();

    // The web screen's web view (set when it makes one) and its view (set when it appears).
    std::weak_ptr<platform::WebView> webView;
    std::weak_ptr<platform::View> view;

    // "apn.didRRN": the payload in the user info.
    void showReceivedNSNotificationWithUserInfo(const platform::Notification& notification);
    // A notification handed over by the notification centre's delegate: handled when its user
    // info holds "aps" as a dictionary.
    void showReceivedUNNotification(const platform::UserNotification& notification);
    // The payload handling described above.
    void showReceivedMessage(const platform::PlistDict& info);
    // Asks for notification permission (badge, sound, alert); once granted and authorized, the
    // application registers for push messages on the main queue. The answers arrive on a
    // background queue.
    void registerForRemoteNotification();
};

// The shared instance, built by the composition root. Safe from any thread; use it on the main
// thread.
PushNotificationUtils& sharedPushNotificationUtils();
