#pragma once
// The bridge as a page sees it: how the page asks, and how and when it is answered. The rules
// are kept by the router (ViewControllerRouter.cpp), the command table (CommandTable.h), the
// command URL (CommandURL.h), the reply handle (base/PageReply.h, base/JavaScriptCalls.h) and
// the command groups (webcontainer/*Commands.cpp, every word listed in BridgeWords.cpp).
//
// Messages (page to native). The page posts one text to the script-message handler named
// kBridgeHandlerName:
//     window.webkit.messageHandlers.callbackHandler.postMessage("getUuid?callback=onUuid");
// - A text equal to one of the plain words of BridgeWords.cpp ("reset", "config", "update",
//   "cancelLazyLoad", …; whole text, case-sensitive) is acted on by the screen itself.
// - Any other text holding "?" is a command URL, "word?name=value&name=value…": the part
//   before "?" is the command word (compared whole and case-sensitively: "GetUuid" and
//   "/getUuid" are no words), the query items are the parameters in the order written. Only
//   the first item of a name counts; "name" (no "=") has no value, "name=" the empty value.
// - Values are percent-decoded and "+" stays "+": encode each value with encodeURIComponent.
//   A raw "&" or "=" in a value splits it, a raw "#" ends the query there. A text with a
//   malformed escape, bytes that are no UTF-8 or a NUL is dropped whole.
// - A body that is no text (a number, an object), a message to another handler name and a
//   text that is neither a plain word nor holds "?" are ignored.
// The message itself is never answered (postMessage returns nothing); answers come back as
// JavaScript that the native side evaluates in the page.
//
// The callback. A command's reply goes to its first "callback" item, which is script text
// placed in front of the argument list, so "onUuid" and "app.onUuid" both work.
// - A reply with a value calls it with one JavaScript string literal: onUuid("{\"uuid\":\"…\"}");
//   with an empty text, without argument: onUuid().
// - A bare acknowledgement (the OK of "confirm", "deleteSyncFile", "deleteSyncFolder",
//   "deleteNotification" without an id, "controlAudio" pause and resume, the end of a
//   "callServer" or "restorePurchase") calls a name without argument; a callback holding "("
//   is evaluated as a script as it stands: callback=done(%27saved%27) runs done('saved').
// - No callback item, one without a value, or the name "null" calls nothing ("controlAudio"
//   also takes "undefined" as none).
//
// Replies. The argument is the reply's text: the page parses it (JSON.parse) where it is JSON.
// - Getters answer one small JSON object: {"uuid":"…"}, {"value":"blue"} or {"value":null},
//   {"fileExists":"Y"}, {"syncFolderSize":"4096"}, {"filesList":["file_a.txt"]}. Values are
//   JSON string literals, numbers included; flags are "Y" and "N"; any text value is escaped,
//   so the reply is always valid JSON, "/" may stand as "\/", bytes that are no UTF-8 as U+FFFD.
// - There is no general error reply. A command that lacks a parameter it needs, finds nothing
//   or fails ends without a reply unless it says otherwise; those that report failure do it in
//   their own way: "moveFile" answers {"status":"Y"} or {"status":"<error text>"}; "callServer"
//   evaluates its "callbackError" item as a script (and shows a toast unless silent=true); a
//   "syncFile" that cannot start shows a toast and calls hideAllLoading({"value":null});
//   "deleteSyncFile" shows an error dialog.
// - A server call ("callServer", "restorePurchase") answers with what the server sends: a reply
//   of type application/javascript is evaluated in the page, then the callback is acknowledged
//   and hideAllLoading() runs. The end of a "syncFile" or "syncFileAuth" calls the callback of
//   the latest one that started a download, without argument.
// - Some answers go to fixed page functions, not to the callback: hideAllLoading (the OK of
//   "alert", the end of a server call), controlAudioCallback("end") (a jump past either end of
//   the audio file), webSocketEvent(text) (each message of the real-time channel),
//   togglePushNotification(true) (the plain word "isgcmactive").
// - A script the page lacks fails in the page and is only logged; its result never comes back.
//
// Never answered: the ignored messages above; unknown command words; commands without a
// callback (see above); a command whose handler throws (the throw is caught and logged); a
// page whose web view is gone by the time the answer runs; and the commands that answer
// nothing at all: "setValue", "setLang", "showToast", "shareText", "vibrate", "loadPage",
// "openVideoMeeting", "launchPurchase", "requestReview", "requestToken", "update",
// "scheduleNotification", "deleteAllNotifications", "delegateFile", "showImage",
// "connectWebSocket" (its messages come later, see above), and the "Cancel" of "confirm".
//
// Threads. The router, the command table and every command run on the main thread, one message
// at a time in the order posted, and each command returns before any of its answers runs.
// Dialogs, previews, toasts and the audio player stay on the main thread; server calls and
// sync downloads run on the URL sessions' own threads, and the notification settings and the
// product list answer on other threads. Every answer, from whichever thread, is posted to the
// main queue and evaluated there in the order given, each as a script of its own: the page is
// only ever called on the main thread. "getFilesList" and "getHTML" answer one main-queue pass
// later than the other getters.
//
// A page:
//     <script>
//     function bridge(word, items) {
//         const query = Object.entries(items)
//             .map(([name, value]) => name + "=" + encodeURIComponent(value)).join("&");
//         window.webkit.messageHandlers.callbackHandler.postMessage(word + "?" + query);
//     }
//     function onColor(text) {                // '{"value":"blue"}', or '{"value":null}'
//         console.log(JSON.parse(text).value);
//     }
//     bridge("setValue", {lang: "color", value: "blue"});   // the item "lang" names the value
//     bridge("getValue", {key: "color", callback: "onColor"});
//     bridge("confirm", {message: "Go on?", callback: "proceed('now')"});  // OK runs the script
//     </script>

// The name of the script-message handler every web view of the screen registers.
inline constexpr char kBridgeHandlerName[] = "callbackHandler";
