#include "tests/support/RealWebScreenFixture.h"

#include "base/UIHelpers.h"
#include "platform/Dispatch.h"
#include "platform/Platform.h"
#include "platform/linux/GstAudioPlayer.h"
#include "platform/linux/GtkToast.h"

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
    platform::install(std::move(linux));

    // The web screen at once: the splash screen's five seconds are no part of these tests.
    delegate.makeInitialScreen = instantiateWebScreen;
    application->run(0, nullptr, delegate);
    application->launch(platform::current().makeWindow(), {});
    screen = std::dynamic_pointer_cast<ViewController>(delegate.window->rootScreen());
    ASSERT_TRUE(screen);
    ASSERT_TRUE(waitForFinishedNavigations(1)) << "the start page did not finish loading";
}

bool RealWebScreenFixture::waitForFinishedNavigations(std::size_t count, std::chrono::milliseconds timeout)
{
    return platform::runMainLoopUntil([&] { return finishedNavigations() >= count; }, timeout);
}

std::size_t RealWebScreenFixture::finishedNavigations() const
{
    std::size_t count = 0;
    for (const auto& entry : log.entries())
        count += entry.message == "WEBVIEW: finished loading page";
    return count;
}

std::optional<std::string> RealWebScreenFixture::evaluate(const std::string& script)
{
    std::optional<platform::WebView::ScriptResult> result;
    screen->webView->evaluateJavaScript(script, [&](const auto& outcome) { result = outcome; });
    if (!platform::runMainLoopUntil([&] { return result.has_value(); }, kTimeout))
        return std::nullopt;
    return result->value;
}

void RealWebScreenFixture::showBridgePage()
{
    screen->loadPage("/bridge.html");
    ASSERT_TRUE(waitForFinishedNavigations(2)) << "the bridge page did not finish loading";
}

void RealWebScreenFixture::post(const std::string& command)
{
    evaluate("window.webkit.messageHandlers.callbackHandler.postMessage('" + command + "'); 0");
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
