// Bridge commands that put something on the screen for the page: "alert", "confirm",
// "showToast", "shareText", "vibrate", "loadPage" and "openVideoMeeting". A required item
// that is missing or has no value ends a command without effect and without a reply.
#include "base/LocalizedTexts.h"
#include "logger/Logger.h"
#include "platform/ShareDialog.h"
#include "platform/Toast.h"
#include "webcontainer/BridgeCommands.h"
#include "webcontainer/BridgeConventions.h"

#include <chrono>

namespace {

constexpr std::chrono::milliseconds kToastDuration{2000};

} // namespace

void bridge::alert(BridgeScreen& screen, BridgeRequest& request)
{
    const auto text = request.url.value("text");
    if (!text)
        return;
    PageReply reply = request.reply;
    screen.presentAlert(alertTitle(request.url), *text, AlertButton{localizedString("OK"), [reply] {
                            reply.hideAllLoading(PageReply::HideAllLoading::withNullValue);
                        }});
}

void bridge::confirm(BridgeScreen& screen, BridgeRequest& request)
{
    const auto message = request.url.value("message");
    if (!message || !request.url.value("callback"))
        return;
    PageReply reply = request.reply;
    // "Cancel" closes the dialog and tells the page nothing.
    screen.presentAlert(alertTitle(request.url), *message,
                        AlertButton{localizedString("OK"), [reply] { reply.acknowledge(); }},
                        AlertButton{"Cancel", nullptr});
}

void bridge::showToast(BridgeScreen&, BridgeRequest& request)
{
    if (const auto text = request.url.value("text"))
        platform::showToast(*text, kToastDuration, platform::ToastPosition::bottom);
}

void bridge::shareText(BridgeScreen&, BridgeRequest& request)
{
    const auto text = request.url.value("text");
    if (!text)
        return;
    platform::presentShareDialog(request.url.value("subject").value_or(""), *text);
}

void bridge::vibrate(BridgeScreen&, BridgeRequest&)
{
    // Desktops have no haptic engine: the word is known and does nothing.
}

void bridge::loadPage(BridgeScreen& screen, BridgeRequest& request)
{
    const auto url = request.url.value("url");
    if (!url)
        return;
    LOG_DEBUG("loading Page " + *url + " due to JS Bridge call");
    screen.loadPage(*url);
}

void bridge::openVideoMeeting(BridgeScreen&, BridgeRequest&)
{
    // Known to the bridge and ignored: no parameter is read, nothing is answered.
}
