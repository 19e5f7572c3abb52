#pragma once
// What the content server reaches of the web screen: the page's web view and a reload of it.
// The web screen implements it and hands itself to the content server (ServerCom's
// viewController) when its view loads; tests use doubles.
//
// Main thread only. The content server holds the screen weakly: a screen that is gone means no
// screen.

#include "platform/View.h"
#include "platform/WebView.h"

#include <memory>

class WebScreen {
public:
    virtual ~WebScreen() = default;

    // The page's web view; null while the screen has none.
    virtual std::shared_ptr<platform::WebView> pageWebView() const = 0;
    // The screen's view: a download started for the page shows its progress over it; null
    // before the view has loaded.
    virtual std::shared_ptr<platform::View> screenView() const = 0;
    // Loads the pending landing page, or the start page when there is none.
    virtual void reloadWebView() = 0;
};
