#pragma once
// The way back to the page for one request of the page (a bridge command, a server call): the
// page's web view, held weakly, and the name of the page function that waits for the answer
// (the request's "callback"), if any.
//
// Answers: the callback with one text, the bare acknowledgement, a script, and the forms of
// "hideAllLoading". Each goes through callJS / callJsCallback (JavaScriptCalls.h): it is
// evaluated on the main queue, after the caller returns, in the order the answers were given;
// a web view that is gone by then gets nothing.
//
// Threads and lifetimes: a small value, copied or moved into whatever answers later. Safe from
// any thread (one thread at a time per handle). It never holds the web view strongly, and
// turns it into a strong reference only inside tasks on the main queue, so a worker thread
// that keeps a handle never keeps the web view alive and never drops its last reference.

#include "platform/WebView.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

class PageReply {
public:
    // The ways the page is told to hide its loading indicators.
    enum class HideAllLoading {
        // The script "hideAllLoading()".
        call,
        // The script "if(window.hideAllLoading) { window.hideAllLoading() }", for pages that may
        // lack the function.
        ifDefined,
        // The page function "hideAllLoading" with the argument {"value":null}.
        withNullValue,
    };

    // A handle that answers nothing.
    PageReply() = default;
    PageReply(std::weak_ptr<platform::WebView> webView, std::optional<std::string> callback = std::nullopt)
        : webView_(std::move(webView)), callback_(std::move(callback))
    {
    }

    // The page's web view; empty or expired when there is none.
    const std::weak_ptr<platform::WebView>& webView() const { return webView_; }
    // The name of the page function that waits for the answer; nothing when the request named
    // none (or named it without a value).
    const std::optional<std::string>& callback() const { return callback_; }

    // Calls the callback with `text` (callJsCallback): callback("text"), or callback() for an
    // empty text. Without a callback, or with the name "null", nothing runs and an error is logged.
    void send(const std::string& text) const;
    // The same, after one more pass through the main queue: the answer comes after the answers
    // of commands that run in the meantime.
    void sendLater(std::string text) const;
    // The bare acknowledgement of a finished request: a callback holding "(" is evaluated as a
    // script, any other callback is called without argument. Nothing without a callback.
    void acknowledge() const;
    // Evaluates `script` in the page (callJS).
    void runScript(const std::string& script) const;
    void hideAllLoading(HideAllLoading form = HideAllLoading::call) const;
    // Runs `task` on the main queue with the web view, when it still exists by then: the one
    // way for other threads to reach the web view (its window, its place on screen).
    void withWebView(std::function<void(platform::WebView&)> task) const;

private:
    std::weak_ptr<platform::WebView> webView_;
    std::optional<std::string> callback_;
};
