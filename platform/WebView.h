#pragma once
// The web view as the system uses it: it loads a file of the web root, runs scripts in the
// page, hands on what the page posts to its script-message handlers, reports how navigations
// end, asks before it follows a navigation, and lets its owner answer the page's alert() and
// confirm().
//
// Main thread only; every callback runs on the main thread. The owner sets the on... callbacks
// right after creation; an unset callback means the default below. The rules every
// implementation keeps live in the non-virtual functions; implementations fill in the *Impl
// hooks and report what the engine tells them through the protected did.../decide... calls.
//
// Objects that outlive a page load hold a web view by std::shared_ptr or std::weak_ptr: a web
// view that is gone means "no web view", never a dangling pointer.

#include "platform/View.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// How a new web view is set up.
struct WebViewConfiguration {
    // Names the page posts to: window.webkit.messageHandlers.<name>.postMessage(text).
    std::vector<std::string> scriptMessageHandlers;
    // The one folder whose files the page may read (itself, its frames, workers, images, fetch
    // and XMLHttpRequest): a file URL elsewhere is refused and a navigation to it cancelled, and
    // a symbolic link counts by where it leads. Fixed for the view's life, because the engine
    // sets up the page's process with it. Empty: no file may be read.
    std::filesystem::path readAccessFolder;
    // Lets a page from a file read other files (fetch, XMLHttpRequest) within readAccessFolder.
    bool allowFileAccessFromFileURLs = false;
    // Plays video in the page rather than full screen.
    bool allowsInlineMediaPlayback = false;
    // Back and forward by swiping.
    bool allowsBackForwardNavigationGestures = false;
    // No background of its own: the window shows through until the page paints.
    bool transparentBackground = false;

    bool operator==(const WebViewConfiguration&) const = default;
};

class WebView : public View {
public:
    // The outcome of an evaluation: the result's text form, or the error's description.
    struct ScriptResult {
        std::optional<std::string> value;
        std::optional<std::string> error;
    };
    using ScriptCompletion = std::function<void(const ScriptResult&)>;

    struct NavigationAction {
        // The URL the request goes to; none when the request has no URL.
        std::optional<std::string> url;
        // The page asked for a new window (target="_blank", window.open).
        bool targetsNewWindow = false;
    };
    enum class NavigationActionPolicy { cancel, allow };
    // Must be called exactly once; a handler dropped without a call cancels the navigation.
    using DecisionHandler = std::function<void(NavigationActionPolicy)>;

    struct NavigationError {
        std::string domain;
        int code = 0;
        std::string localizedDescription;
        // The URL that failed (the error's "NSErrorFailingURLStringKey"), when known.
        std::optional<std::string> failingURL;
        // The load was cancelled, as when a newer load replaced it.
        bool cancelled = false;
        // The view refused the file: it lies outside the configuration's readAccessFolder.
        bool refused = false;

        // "<description> (<domain> <code>) <failing URL>" for the logs.
        std::string description() const;
    };

    struct ScriptDialog {
        enum class Type { alert, confirm };
        Type type = Type::alert;
        std::string message;
    };
    // Answers the dialog: true for OK (confirm() returns it), false for Cancel. Must be called
    // once; a completion dropped without a call answers false.
    using ScriptDialogCompletion = std::function<void(bool confirmed)>;

    // The page posted `body` to the handler `name`: the text, whole, when the page posted a
    // string; none for any other value (a number, an array, an object). A posted text that is no
    // Unicode text (a lone surrogate) arrives as bytes that are no valid UTF-8.
    std::function<void(const std::string& name, const std::optional<std::string>& body)> onScriptMessage;
    // A navigation finished loading. Never follows a failed one.
    std::function<void()> onNavigationFinished;
    // For tests: told of each finished navigation after onNavigationFinished, whoever owns that.
    std::function<void()> onNavigationFinishedForTesting;
    // A navigation failed after the page had begun to load.
    std::function<void(const NavigationError&)> onNavigationFailed;
    // A navigation failed before the page began to load (missing file, refused, cancelled).
    std::function<void(const NavigationError&)> onProvisionalNavigationFailed;
    // The process that runs the page ended (crash, memory); the view shows nothing any more.
    std::function<void()> onWebContentProcessTerminated;
    // May the view follow this navigation or new-window request? Unset: allow.
    std::function<void(const NavigationAction&, DecisionHandler)> onDecidePolicy;
    // The page called alert() or confirm(). Unset: the engine's own dialog.
    std::function<void(const ScriptDialog&, ScriptDialogCompletion)> onScriptDialog;
    // A downward swipe over the view.
    std::function<void()> onSwipeDown;

    // Evaluates `script` in the page; `completion` (may be empty) runs on the main thread
    // once the page has run it.
    void evaluateJavaScript(const std::string& script, ScriptCompletion completion);
    // Loads the file `file` (absolute path); the page may read the files below `readAccess`,
    // which lies within the configuration's readAccessFolder (that folder is the limit).
    void loadFileURL(const std::filesystem::path& file, const std::filesystem::path& readAccess);
    // The URL of the page on show or loading; none before anything was loaded.
    std::optional<std::string> url() const;

protected:
    virtual void evaluateJavaScriptImpl(const std::string& script, ScriptCompletion completion) = 0;
    virtual void loadFileURLImpl(const std::filesystem::path& file, const std::filesystem::path& readAccess) = 0;
    virtual std::optional<std::string> urlImpl() const = 0;

    // For implementations: what the engine reported. Each calls its callback, if set.
    void didReceiveScriptMessage(const std::string& name, const std::optional<std::string>& body);
    void didFinishNavigation();
    void didFailNavigation(const NavigationError& error);
    void didFailProvisionalNavigation(const NavigationError& error);
    void webContentProcessDidTerminate();
    void didSwipeDown();
    // `apply` receives the decision exactly once: the owner's, or cancel when the owner drops
    // the handler, or allow when no owner decides.
    void decidePolicy(const NavigationAction& action, std::function<void(NavigationActionPolicy)> apply);
    // True when the owner answers the dialog (through `apply`, exactly once); false when the
    // engine should show its own.
    bool runScriptDialog(const ScriptDialog& dialog, std::function<void(bool)> apply);
};

} // namespace platform
