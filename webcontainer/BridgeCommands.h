#pragma once
// The handlers of the bridge's command words, one function per word, named after it. Each
// group of commands is defined in a file of its own (named below); BridgeWords.cpp lists every
// word with its handler. Main thread only, as the dispatcher that runs them.

#include "webcontainer/BridgeRequest.h"
#include "webcontainer/BridgeScreen.h"

namespace bridge {

// DeviceCommands.cpp: reminders, the notification permission, the position, the file chooser
// and the real-time channel.
void checkNotificationPermission(BridgeScreen& screen, BridgeRequest& request);
void connectWebSocket(BridgeScreen& screen, BridgeRequest& request);
void deleteAllNotifications(BridgeScreen& screen, BridgeRequest& request);
void deleteNotification(BridgeScreen& screen, BridgeRequest& request);
void getIsAbleToLocate(BridgeScreen& screen, BridgeRequest& request);
void getLocationData(BridgeScreen& screen, BridgeRequest& request);
void scheduleNotification(BridgeScreen& screen, BridgeRequest& request);
void showFileChooser(BridgeScreen& screen, BridgeRequest& request);

// FileCommands.cpp: the page's files in the web root and the sync folder.
void deleteSyncFile(BridgeScreen& screen, BridgeRequest& request);
void deleteSyncFolder(BridgeScreen& screen, BridgeRequest& request);
void fileExists(BridgeScreen& screen, BridgeRequest& request);
void getFilesList(BridgeScreen& screen, BridgeRequest& request);
void getHTML(BridgeScreen& screen, BridgeRequest& request);
void getSyncFolderSize(BridgeScreen& screen, BridgeRequest& request);
void moveFile(BridgeScreen& screen, BridgeRequest& request);

// PurchaseCommands.cpp: the store's products, purchases and restores, and the review request.
void getIAPProducts(BridgeScreen& screen, BridgeRequest& request);
void getIsAbleToPurchase(BridgeScreen& screen, BridgeRequest& request);
void launchPurchase(BridgeScreen& screen, BridgeRequest& request);
void restorePurchase(BridgeScreen& screen, BridgeRequest& request);
void requestReview(BridgeScreen& screen, BridgeRequest& request);

// ServerCommands.cpp: server calls, file syncs, the update check and the push token.
void callServer(BridgeScreen& screen, BridgeRequest& request);
void requestToken(BridgeScreen& screen, BridgeRequest& request);
void syncFile(BridgeScreen& screen, BridgeRequest& request);
void syncFileAuth(BridgeScreen& screen, BridgeRequest& request);
void update(BridgeScreen& screen, BridgeRequest& request);

// ValueAndDeviceCommands.cpp: stored values and facts about the installation and the device.
void getAppState(BridgeScreen& screen, BridgeRequest& request);
void getContainerVersion(BridgeScreen& screen, BridgeRequest& request);
void getIsAbleToNFC(BridgeScreen& screen, BridgeRequest& request);
void getLastNonce(BridgeScreen& screen, BridgeRequest& request);
void getLastSyncDate(BridgeScreen& screen, BridgeRequest& request);
void getOsVersion(BridgeScreen& screen, BridgeRequest& request);
void getUuid(BridgeScreen& screen, BridgeRequest& request);
void getUser(BridgeScreen& screen, BridgeRequest& request);
void getValue(BridgeScreen& screen, BridgeRequest& request);
void isOnline(BridgeScreen& screen, BridgeRequest& request);
void setLang(BridgeScreen& screen, BridgeRequest& request);
void setValue(BridgeScreen& screen, BridgeRequest& request);

// ScreenCommands.cpp: dialogs, toasts, sharing, vibration and page loading.
void alert(BridgeScreen& screen, BridgeRequest& request);
void confirm(BridgeScreen& screen, BridgeRequest& request);
void loadPage(BridgeScreen& screen, BridgeRequest& request);
void openVideoMeeting(BridgeScreen& screen, BridgeRequest& request);
void shareText(BridgeScreen& screen, BridgeRequest& request);
void showToast(BridgeScreen& screen, BridgeRequest& request);
void vibrate(BridgeScreen& screen, BridgeRequest& request);

// MediaCommands.cpp: the preview of files and images, and audio.
void controlAudio(BridgeScreen& screen, BridgeRequest& request);
void delegateFile(BridgeScreen& screen, BridgeRequest& request);
void showImage(BridgeScreen& screen, BridgeRequest& request);

} // namespace bridge
