#pragma once
// What the bridge reaches of the web screen: the page's web view, which the dispatcher hands
// to each command's reply handle, the screen's alert and page loading, its audio player and
// the files of its preview. The web screen implements it; tests use a recording double. Main
// thread only. The screen outlives every command it dispatches; a command that answers later
// keeps its reply handle (and the preview list weakly), never the screen.

#include "base/PageReply.h"
#include "base/UIHelpers.h"
#include "platform/AudioPlayer.h"
#include "platform/View.h"
#include "platform/WebView.h"
#include "webcontainer/PreviewItems.h"

#include <memory>
#include <optional>
#include <string>

class BridgeScreen {
public:
    virtual ~BridgeScreen() = default;

    // The reply of the "restorePurchase" whose page waits for restored purchases: the latest
    // one with a callback value; none before the first.
    std::optional<PageReply> restoreCallBack;
    // The reply that waits for the end of a file sync: that of the latest "syncFile" or
    // "syncFileAuth" that started a download, one that answers nothing after a command that
    // started none; answered when the sync ends.
    PageReply syncCallBack;
    // The page to load at the next reload; empty means the start page.
    std::string landingPage;
    // The one audio player of "controlAudio": replaced by each successful start, kept otherwise.
    std::shared_ptr<platform::AudioPlayer> player;
    // The files the screen's preview serves.
    const std::shared_ptr<PreviewItems> fileURLs = std::make_shared<PreviewItems>();

    // Expires when the screen goes: what acts on the screen later (an alert's button) checks it.
    std::weak_ptr<void> lifetime() const { return lifetime_; }

    // The page's web view; null while the screen has none.
    virtual std::shared_ptr<platform::WebView> pageWebView() const = 0;
    // Queues a dialog of the alert helper (showAlert) on the main queue, so it comes up after
    // the command returns: the title, the message, the first button and an optional second one.
    virtual void presentAlert(const std::string& title, const std::string& message, AlertButton first,
                              std::optional<AlertButton> second = std::nullopt) = 0;
    // Rebuilds the web view on `page`, a path below the web root, on the main queue.
    virtual void loadPage(const std::string& page) = 0;
    // The screen's root view, where toasts and the download's progress bar appear; null while
    // the screen has none.
    virtual std::shared_ptr<platform::View> rootView() const = 0;
    // Runs the update check and its decision (wakeup: the check after a long absence).
    virtual void showUpdateDialog(bool wakeup) = 0;

private:
    const std::shared_ptr<char> lifetime_ = std::make_shared<char>();
};
