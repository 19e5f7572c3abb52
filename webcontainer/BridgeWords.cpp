// Every word the page may post to the message handler "callbackHandler", and what it runs.
//
// Plain words: the whole message, compared exactly and case-sensitively, in the order below;
// the web screen acts itself. A message that is no plain word and holds "?" is a command URL
// ("word?name=value&…"); its word selects a handler of the command table below. Anything else
// is ignored. A new word is added here and nowhere else.
#include "logger/Logger.h"
#include "webcontainer/BridgeCommands.h"
#include "webcontainer/CommandTable.h"
#include "webcontainer/ViewController.h"

const std::vector<ViewController::PlainWord>& ViewController::plainWords()
{
    static const std::vector<PlainWord> words = {
        {"cancelLazyLoad", [](ViewController& screen) { screen.cancelLazyLoad(); }},
        {"clearAllValues", [](ViewController& screen) { screen.clearAllValues(); }},
        {"showAppSettings", [](ViewController& screen) { screen.showAppSettings(); }},
        {"update", [](ViewController& screen) { screen.updateWithQuestion(); }},
        {"regidactive", [](ViewController&) {}},
        {"reset", [](ViewController& screen) { screen.askForReset(); }},
        {"resumeLazyLoad", [](ViewController& screen) { screen.resumeLazyLoad(); }},
        {"subscribeGCM", [](ViewController&) { LOG_DEBUG("Subscribe to GCM!"); }},
        {"unsubscribeGCM", [](ViewController&) { LOG_DEBUG("Unsubscribe to GCM"); }},
        {"isgcmactive", [](ViewController& screen) { screen.answerPushNotificationActive(); }},
        // Holds no "?", so it never competes with a command URL.
        {"config", [](ViewController& screen) { screen.showConfigDialog(); }},
    };
    return words;
}

void registerBridgeCommands(CommandTable& table)
{
    // Command words, in the order of the system's command table (the table looks words up by
    // their whole text, so the order is only the reader's).
    table.add("alert", bridge::alert);
    table.add("callServer", bridge::callServer);
    table.add("checkNotificationPermission", bridge::checkNotificationPermission);
    table.add("confirm", bridge::confirm);
    table.add("connectWebSocket", bridge::connectWebSocket);
    table.add("controlAudio", bridge::controlAudio);
    table.add("delegateFile", bridge::delegateFile);
    table.add("deleteAllNotifications", bridge::deleteAllNotifications);
    table.add("deleteNotification", bridge::deleteNotification);
    table.add("deleteSyncFile", bridge::deleteSyncFile);
    table.add("deleteSyncFolder", bridge::deleteSyncFolder);
    table.add("fileExists", bridge::fileExists);
    table.add("getAppState", bridge::getAppState);
    table.add("getContainerVersion", bridge::getContainerVersion);
    table.add("getFilesList", bridge::getFilesList);
    table.add("getHTML", bridge::getHTML);
    table.add("getIAPProducts", bridge::getIAPProducts);
    table.add("getIsAbleToPurchase", bridge::getIsAbleToPurchase);
    table.add("getIsAbleToLocate", bridge::getIsAbleToLocate);
    table.add("getIsAbleToNFC", bridge::getIsAbleToNFC);
    table.add("getLastNonce", bridge::getLastNonce);
    table.add("getLastSyncDate", bridge::getLastSyncDate);
    table.add("getLocationData", bridge::getLocationData);
    table.add("getOsVersion", bridge::getOsVersion);
    table.add("getSyncFolderSize", bridge::getSyncFolderSize);
    table.add("getUuid", bridge::getUuid);
    table.add("getUser", bridge::getUser);
    table.add("getValue", bridge::getValue);
    table.add("isOnline", bridge::isOnline);
    table.add("launchPurchase", bridge::launchPurchase);
    table.add("loadPage", bridge::loadPage);
    table.add("moveFile", bridge::moveFile);
    table.add("openVideoMeeting", bridge::openVideoMeeting);
    table.add("requestReview", bridge::requestReview);
    table.add("requestToken", bridge::requestToken);
    table.add("restorePurchase", bridge::restorePurchase);
    table.add("scheduleNotification", bridge::scheduleNotification);
    table.add("setLang", bridge::setLang);
    table.add("setValue", bridge::setValue);
    table.add("shareText", bridge::shareText);
    table.add("showFileChooser", bridge::showFileChooser);
    table.add("showImage", bridge::showImage);
    table.add("showToast", bridge::showToast);
    table.add("syncFile", bridge::syncFile);
    table.add("syncFileAuth", bridge::syncFileAuth);
    table.add("update", bridge::update);
    table.add("vibrate", bridge::vibrate);
}
