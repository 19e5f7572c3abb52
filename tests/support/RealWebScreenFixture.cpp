#include "tests/support/RealWebScreenFixture.h"

#include "base/Config.h"
#include "base/UIHelpers.h"
#include "platform/Platform.h"
#include "platform/linux/GstAudioPlayer.h"
#include "platform/linux/GtkToast.h"
#include "portable/Dispatch.h"

#include <gtk/gtk.h>

#include <cstring>

namespace testsupport {

void RealWebScreenFixture::SetUp()
{
    ASSERT_TRUE(gtk_init_check(nullptr, nullptr)) << "no display: run the end-to-end tests under xvfb-run";
    platform::Platform linux = platform::makeLinuxPlatform();
    linux.application = application;
    linux.urlOpener = urlOpener;
    linux.makeAudioPlayer = [](const std::filesystem::path& file, std::string& error) {
        return std::shared_ptr<platform::AudioPlayer>(
            platform::GstAudioPlayer::create(file, error, platform::GstAudioPlayer::Output::silent));
    };
    // Counts what the screen's web view reports finished; a replaced view's reports mean nothing
    // to the screen.
    linux.makeWebView = [make = linux.makeWebView, navigations = navigations_](const auto& configuration) {
        auto view = make(configuration);
        view->onNavigationFinishedForTesting = [navigations, weak = std::weak_ptr(view)] {
            const auto shown = navigations->screen.lock();
            if (shown && shown->webView == weak.lock())
                ++navigations->finished;
        };
        return view;
    };
    platform::install(std::move(linux));

    // The web screen at once: the splash screen's five seconds are no part of these tests.
    delegate.makeInitialScreen = instantiateWebScreen;
    application->run(0, nullptr, delegate);
    application->launch(platform::current().makeWindow(), {});
    screen = std::dynamic_pointer_cast<ViewController>(delegate.window->rootScreen());
    ASSERT_TRUE(screen);
    navigations_->screen = screen;
    ASSERT_TRUE(waitForFinishedNavigations(1)) << "the start page did not finish loading";
    if (startPage_ == StartPage::bridge) {
        evaluate("document.getElementById('link-bridge').click()");
        ASSERT_TRUE(waitForFinishedNavigations(2)) << "the bridge page did not finish loading";
        ASSERT_EQ(screen->webView->url(), "file://" + sharedConfig().WEBROOT + "/bridge.html");
    }
    SetUpPage();
}

bool RealWebScreenFixture::waitForFinishedNavigations(std::size_t count, std::chrono::milliseconds timeout)
{
    return platform::runMainLoopUntil([&] { return navigations_->finished >= count; }, timeout);
}

std::optional<std::string> RealWebScreenFixture::evaluate(const std::string& script)
{
    std::optional<platform::WebView::ScriptResult> result;
    screen->webView->evaluateJavaScript(script, [&](const auto& outcome) { result = outcome; });
    if (!platform::runMainLoopUntil([&] { return result.has_value(); }, kTimeout))
        return std::nullopt;
    return result->value;
}

void RealWebScreenFixture::post(const std::string& command)
{
    evaluate("window.webkit.messageHandlers.callbackHandler.postMessage('" + command + "'); 0");
}

std::string RealWebScreenFixture::ask(const std::string& name, const std::string& command,
                                      const std::function<bool()>& ready, const std::function<void()>& meanwhile)
{
    evaluate("window.answers = window.answers || {}; window." + name + " = function (a) { window.answers['" + name +
             "'] = (a === undefined ? 'no argument' : a); }; 0");
    post(command);
    if (meanwhile) {
        until(ready);
        meanwhile();
    }
    const std::string script = "window.answers['" + name + "'] || ''";
    std::string text;
    until([&] { return !(text = evaluate(script).value_or("")).empty(); });
    return text;
}

std::string RealWebScreenFixture::pageLog()
{
    return evaluate("document.getElementById('log').textContent").value_or("");
}

bool RealWebScreenFixture::until(const std::function<bool()>& condition)
{
    return platform::runMainLoopUntil(condition, kTimeout);
}

platform::Window* RealWebScreenFixture::topWindow() const
{
    return topViewController(delegate.window.get());
}

std::string RealWebScreenFixture::toastText()
{
    std::string text;
    GList* toplevels = gtk_window_list_toplevels();
    for (GList* item = toplevels; item; item = item->next) {
        GtkWidget* window = GTK_WIDGET(item->data);
        if (std::strcmp(gtk_widget_get_name(window), platform::GtkToast::widgetName) == 0 &&
            gtk_widget_get_visible(window))
            text = gtk_label_get_text(GTK_LABEL(gtk_bin_get_child(GTK_BIN(window))));
    }
    g_list_free(toplevels);
    return text;
}

} // namespace testsupport
