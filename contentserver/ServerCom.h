#pragma once
// The client of the content server.
//
// Requests: every request carries the request parameters (VuApiParams): the application's
// name, the sync markers, system, language, installation identity and push token, plus one
// nonce and one one-time code while there are any. The server hands out nonces in a reply
// cookie "nonces" (a list joined by ";", percent-encoded); each request spends the first one.
// The one-time code is a TOTP code (30-second steps, HMAC-SHA1, 6 digits) of the Base32 secret
// in the setting "otpkey".
//
// Server calls are POSTs to the configured server address (or, when the setting
// "EXTERNAL_SERVERCALL_STRATEGY" is "any", to an address the page names): a URL-encoded form,
// or a multipart form when a file of the upload folder goes along.
//
// Replies steer the application through their headers: cookies "nonces" (the new nonce list),
// "message" (an alert to show) and "script" (a script queued for the page); a
// "Content-Disposition" attachment is written into the web root (and unpacked when it is a
// ".zip"); an "application/javascript" body runs in the page; a "text/xml" body is an update
// reply whose package is downloaded; a "Location" names a landing page; otherwise the queued
// scripts run, the last queued first.
//
// Update checks are GETs of the configured update address with the request parameters; the
// server answers with an XML update reply (RequestProperties). An update package may come
// encrypted: AES-CBC with PKCS#7 padding, its first 16 bytes the initialisation vector, the key
// the reply's "secret" (kept in the setting "ZIPSECRET" until the package is decrypted).
//
// Threads: requests are built on the caller's thread (the main thread, for the page's calls);
// replies are handled on the URL session's queue; everything that touches the page or the
// window goes to the main queue. The page's web view is held weakly and reached only through
// PageReply, so no worker thread ever holds it. The notification named with the bundle
// identifier ("filereceived", "landingPage") is posted on the reply's queue: its observers
// that touch the UI register with the main queue. The composition root builds the one shared
// instance.

#include "base/PageReply.h"
#include "base/WebScreen.h"
#include "contentserver/DownloadKind.h"
#include "contentserver/PackageInstaller.h"
#include "contentserver/RequestProperties.h"
#include "contentserver/VuApiParams.h"
#include "contentserver/fetchAppXmlError.h"
#include "platform/ProgressView.h"
#include "platform/UrlSession.h"
#include "platform/WebView.h"
#include "portable/ContainedPath.h"
#include "portable/Guarded.h"
#include "portable/TransferLimits.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <pugixml.hpp>

class ServerCom : public std::enable_shared_from_this<ServerCom> {
public:
    // A request ready to send, or why none could be built.
    struct RequestOrError {
        std::optional<platform::UrlRequest> request;
        std::string errorDescription;
    };
    // A multipart body, or why it could not be built.
    struct BodyOrError {
        std::optional<std::string> body;
        std::string errorDescription;
    };

    ServerCom();
    ServerCom(const ServerCom&) = delete;
    ServerCom& operator=(const ServerCom&) = delete;

    const std::string TMPWWWROOT;
    const std::string SERVERCOM_ERROR_WRONG_URL;
    const std::string SERVERCOM_SERVER_ERROR;
    const std::string NO_INTERNET;
    const std::string SC_DOWNLOAD_STARTED;
    const std::string SC_DOWNLOAD_FINISHED;
    const std::string SC_UPDATE_FINISHED;
    const std::string SC_UPDATE_ERROR;
    const std::string DOWNLOAD_UPDATE_FINISHED;
    const std::string VC_DL_ALREADY_RUNNING;
    const std::string NONCE_KEY = "nonces";
    const std::string LAST_NONCE_KEY = "lastnonce";
    const std::string OTP_KEY = "otpkey";
    const std::string ZIPSECRET = "ZIPSECRET";
    const std::string HIDEALLLOADING = "if(window.hideAllLoading) { window.hideAllLoading() }";
    const std::string rootNode = "response";
    const std::string appUuid = "uuid";
    const std::string minServerDate = "20151010144524";
    std::atomic<bool> isPersonalization{false};
    std::atomic<bool> isWakeupSync{false};
    // The web view of the latest server call; the answers and the page scripts of replies run
    // in it.
    platform::Guarded<std::weak_ptr<platform::WebView>> webView;
    // The web screen, set when its view loads. Main thread only.
    std::weak_ptr<WebScreen> viewController;
    // Installs the update packages that downloads deliver (contentserver/PackageInstaller.h).
    const std::shared_ptr<PackageInstaller> packageInstaller;

    // Request parameters.

    // A new parameter record from the settings, the device and the bundle; takes the next nonce
    // and a fresh one-time code. Nothing (logged, no nonce spent) when one of the settings
    // "serverprotocol", "servername", "serverpath", "serverfile", "app", "date" and "full" is
    // not text.
    std::optional<VuApiParams> makeApiParams();
    // Takes the first nonce of the stored list and records it as "lastnonce"; nothing when no
    // list is stored. Two callers never get the same nonce.
    std::optional<std::string> getNextNonce();
    // The one-time code of the current 30-second step; nothing when "otpkey" is missing or no
    // Base32 secret.
    std::optional<std::string> getOTP();

    // Server calls.

    // Posts the page's parameters to the server (or to `url`, when the settings allow it) and
    // answers the page of `reply` (which becomes `webView`): its callback once the reply is
    // handled (the bare acknowledgement: run as a script when it holds "(", else called
    // without argument), `callbackError` (a script) and a toast on failure, no toast when
    // `silent`. An `uploadFileName` other than "" and "null" sends that file of the upload
    // folder in a multipart form. Main thread.
    void callServer(const std::string& params, const PageReply& reply, const std::string& nonEncoded,
                    const std::string& uploadFileName, const std::string& callbackError, bool silent,
                    const std::string& url);
    // Builds the POST of a server call; an empty serverAction means "servercall". Fails with
    // cannotFindHost when no address may be used, or when the upload file can't be read (an
    // upload name that is not a plain name of the upload folder, or that leads out of it
    // through a link, counts as unreadable). Takes a nonce.
    RequestOrError createRequest(const std::string& params, const std::string& nonEncoded,
                                 const std::string& uploadFileName, const std::string& serverAction,
                                 const std::string& externalSyncUrl);
    // Handles the outcome of a server call's data task (on the session's queue) and answers
    // the page of the latest call (`webView`) with `callback`.
    void callServerCompletion(const platform::DataTaskResult& result, const std::string& callbackError, bool silent,
                              const std::optional<std::string>& callback);
    // A multipart/form-data body: one part per field with a non-empty name (in the map's
    // order), one part named `fileFieldName` per file, then the closing boundary.
    BodyOrError multipartBody(const std::map<std::string, std::string>* fields, const std::string& fileFieldName,
                              const std::vector<platform::ContainedPath>& files, const std::string& boundary) const;
    // The MIME type of a file by its name extension; "application/octet-stream" when unknown.
    std::string mimeType(const std::filesystem::path& path) const;

    // Reply handling (on the URL session's queue).

    // Acts on a server call's reply by its headers, whatever its status.
    void parseHeader(const platform::HttpUrlResponse& response, const std::string& data);
    // Stores the nonce list of a "nonces" cookie, shows the text of a "message" cookie in an
    // alert and queues the script of a "script" cookie for the page.
    void getAndStoreNonces(const platform::HttpUrlResponse& response);
    // The error alert of a received file, its title ending in `code` (":280" unpacking failed,
    // "291" writing failed, "317" no usable file name, "340" unreadable XML).
    void fileReplyAlert(const std::string& code);

    // Update check.

    using UpdateCheckCompletion = std::function<void(std::optional<RequestProperties>)>;
    // Asks the content server whether the web content is current: a GET of the update address
    // ("serverpath" + "serverfile" against "serverprotocol" + "servername") carrying the request
    // parameters, with sync_mode "wakeup" when `wakeup`; 10 seconds of silence end it. Sets
    // isWakeupSync. Throws fetchAppXmlError before anything is sent: no_INTERNET_CONNECTION
    // without a connection, failed_URL_GENERATION when no address can be made. Otherwise
    // returns at once and later calls `completionHandler` exactly once on the reply queue:
    // with the reply of a 200 whose body reads as an update reply (its script queued for the
    // page, its nonce cookie stored), with nothing for a transport error, any other status, a
    // body parseXML refuses, a body beyond the update reply's limit or a check that outlasts its
    // deadline (portable/TransferLimits.h). Any thread.
    void updateCheck(bool wakeup, UpdateCheckCompletion completionHandler);
    // How long a check may take in all (portable/TransferLimits.h) in place of its own. Main
    // thread, before the check.
    void setUpdateCheckDeadlineForTesting(std::chrono::milliseconds deadline) { updateCheckDeadline_ = deadline; }
    // The document of an XML update reply. Throws fetchAppXmlError::custom when the body is not
    // UTF-8 text, when a line of it holds "<error>…</error>", when it is not well-formed XML
    // (cut short, garbage, empty) or when its root element is not "response". Any thread.
    pugi::xml_document parseXML(const std::string& data);

    // The update decision (ServerComUpdateDecision.cpp).
    //
    // Runs the update check and acts on its reply: a package is downloaded at once when it is
    // small, when `wakeup` or when updateSilentMode is not 0, else only after the user agrees
    // (NEW_VERSION_AVAILABLE with the size); no package needed shows UP_TO_DATE and starts lazy
    // loading; a failed check shows the error alert. Every answered check is stored as
    // "lastUpdateCheck". `view` shows the toasts and the download's progress bar. Main thread.
    void showUpdateDialog(std::weak_ptr<platform::View> view, bool wakeup);
    // The decision on the check's reply (nothing: the check failed). On the check's reply queue;
    // everything the user sees goes to the main queue.
    void decideOnUpdate(const std::weak_ptr<platform::View>& view, bool wakeup,
                        std::optional<RequestProperties> reply);
    // Runs "hideAllLoading()" in the page. Any thread.
    void hideAllLoading();
    // After a check without download: an application opened by URL shows the URL's page (the
    // notification "url.scheme_id" with the address under "message"). Main thread.
    void reloadWebViewIfStartedViaURLScheme();

    // File sync (ServerComSync.cpp).

    // Starts the download of the file the page's sync command (`myURL`: items "callback", "url"
    // and optionally "filename") names into the sync folder, with fresh request parameters when
    // `auth`; its page address is recorded in Config::runningDownloads (and under the store
    // key) until it ends. Returns the reply that waits for its end: `wView`, or one that answers
    // nothing when no download was started.
    // A missing url value, a relative url without server address and a file name that is empty
    // or leaves the sync folder are failures: toast on `view`, "hideAllLoading" in `wView`.
    // Main thread.
    PageReply syncFile(const std::string& myURL, const PageReply& wView, std::weak_ptr<platform::View> view, bool auth);
    // The store key of a sync of `url`: the url, "file=" and the encoded `fileName` when given
    // and the url names no file, then a fresh "nsuuid=", joined as a query. Any thread.
    static std::string syncStoreKey(const std::string& url, const std::optional<std::string>& fileName);

    // Push-token registration.

    // Registers the push token with the content server: a POST whose body is its own path and
    // query (the request parameters with regToken = `token`, then
    // "&action=fcm&method=share&tokentype=apple"). The reply is only logged; a failed request
    // queues an alert with NO_INTERNET for the page. Main thread.
    void sendToken(const std::string& token);
    // Handles the token request's outcome (on the reply queue).
    void tokenReplyCompletion(const platform::DataTaskResult& result);

    // Background downloads (ServerComDownload.cpp, ServerComDownloadCompletion.cpp).
    //
    // Update packages, lazy files and sync files arrive through download tasks streamed to a
    // file, each on a session of its own whose identifier says what it carries: "<type>-" for an
    // update package (the reply's "type"), "lazy-" or "sync-" followed by the store key for a
    // file, where the store key is a query whose item "file" names the file. ServerCom hears each
    // download on the main queue through a ServerComDownloadDelegate: it moves the progress bar,
    // follows redirects by willPerformHTTPRedirection, puts a finished file in its place (a reply
    // whose status is not 2xx never becomes a file), hands an update package from
    // Config::tmpDirURL to the package installer, and ends every task by posting the
    // notification named with the bundle identifier, object this, user info "storeKey" (lazy and
    // sync), "xmlstr" (the update reply kept under the identifier while the download ran) and
    // "error" (why it failed: a package that could not be moved into place or did not install
    // fails its task too). A package's task ends once its install has. A failed download also
    // shows the user a notification one second later.

    // An update package's install while it runs, and the task's end that waits for it.
    struct InstallInFlight {
        std::optional<PackageInstaller::Outcome> outcome;
        std::function<void()> taskEnd;
    };
    // What one download was started for, kept by its session's delegate. Main queue only.
    struct DownloadContext {
        // What the download carries; none for a download started without an identifier.
        std::optional<DownloadKind> kind;
        // The lazy-load list entry a lazy file is fetched for: the one its end removes.
        std::optional<std::string> lazyListEntry;
        // Why the finished file was not taken (its status, a package that did not install); the
        // task ends with it as its error.
        std::optional<std::string> replyError;
        // The install of the package the download delivered.
        std::shared_ptr<InstallInFlight> install;
    };

    // Starts a download of `urlStr`, or of the package `requestProps` names when `urlStr` is
    // empty, with the request parameters appended when `auth`. `view` shows the toasts and the
    // progress bar (none: neither); `dlType` is "lazy-" or "sync-", none for a package.
    // `lazyListEntry`: see DownloadContext. Any thread: the UI work goes to the main queue and
    // `view` is reached only there.
    void downloadUpdate(std::weak_ptr<platform::View> view, const std::optional<RequestProperties>& requestProps,
                        const std::string& urlStr, const std::string& storeKey,
                        const std::optional<std::string>& dlType, bool auth,
                        std::optional<std::string> lazyListEntry = std::nullopt);
    // The download delegate's steps for the session named `identifier`. Main queue only.
    void didWriteData(std::int64_t totalBytesWritten, std::int64_t totalBytesExpectedToWrite);
    void didFinishDownloadingTo(const std::string& identifier, const std::optional<platform::HttpUrlResponse>& response,
                                const std::filesystem::path& location, DownloadContext& context);
    void didCompleteWithError(const std::string& identifier, const std::optional<platform::UrlError>& error,
                              const DownloadContext& context);
    // Installing a package.

    // Installs the update package a download delivered at `file`, of `kind` (full or
    // incremental), on the package installer's worker thread; `context.install` is set until its
    // outcome is in, and the download task's end waits for it. The package is decrypted with the
    // key in "ZIPSECRET" (spent once decrypted or found undecryptable); its refresh test is asked
    // after a wake-up check or in silent mode 4. Main thread.
    void installPackage(const std::filesystem::path& file, DownloadKind kind, DownloadContext& context);
    // What the user sees of an install: a package that did not install shows the alert of a
    // package that would not unpack (in the page on show, else queued for the next page); one
    // without "info.plist" reloads the web view (with the toast SC_UPDATE_ERROR when its copy
    // stays behind); an installed one asks the page on show to refresh itself when it came with
    // the package, and starts lazy loading. Main thread.
    void didInstallPackage(const PackageInstaller::Outcome& outcome);

    // The share of a download done, `written` of `expected` bytes. An unknown size (below 1)
    // counts as 5728640 bytes while fewer than 5000000 are written, then as 50000 more than written.
    static float downloadProgress(std::int64_t written, std::int64_t expected);
    // The first query item "file" of `query` (an address, or a bare "?…" query), percent-decoded,
    // every "+" then a blank; "" when there is none. Any thread.
    static std::string fileName(const std::string& query);
    // Ends the running-download record of a sync: drops the first entry of
    // Config::runningDownloads equal to the page address stored under `storeKey`. Any thread.
    void removeRunningDownload(const std::string& storeKey);
    // "alert('<text>');", the text escaped as a JavaScript string.
    static std::string alertScript(const std::string& text);

    // The progress bar of the latest download started with a view, and that view. Main thread only.
    std::shared_ptr<platform::ProgressView> progressView;
    std::weak_ptr<platform::View> targetView;

    // The redirect decision every session of the content server shares: a redirect is followed
    // only when its "Location" holds "http:" (so never to "https:").
    bool willPerformHTTPRedirection(const platform::HttpUrlResponse& response, const platform::UrlRequest& newRequest);

private:
    // The page of the latest server call, answering `callback`. Safe from any thread.
    PageReply latestPage(std::optional<std::string> callback = std::nullopt) const;
    enum class Redirects { followAll, serverRule };
    // Sends `request` on a new session (named `identifier` in logs) whose completion runs on
    // the reply queue; a session that can't be made completes with an unknown error. A request
    // without a body limit of its own gets the server call's (portable/TransferLimits.h).
    void startDataTask(const std::string& identifier, Redirects redirects, platform::UrlRequest request,
                       platform::UrlSession::DataTaskCompletion completion);
    // Writes the attachment a reply names into the web root (unpacking a ".zip"); false when
    // the reply's handling ends here (the archive would not unpack).
    bool receiveFile(const std::string& disposition, const std::string& data);
    // Reads an XML reply as an update reply and downloads the package it names, with the web
    // screen's view; an unreadable reply is alert "340".
    void receiveUpdateReply(const std::string& data);
    // An alert with one OK button that hides the page's loading indicators. Main thread.
    void showOkAlert(const std::string& title, const std::string& message);
    // Steps of the update decision, on the main queue.
    void finishCheckWithoutDownload(const std::weak_ptr<platform::View>& view, const std::string& toast);
    void askBeforeDownload(const std::weak_ptr<platform::View>& view, const RequestProperties& reply);
    void queueUpdateErrorAlert();
    // The failed update check: the state goes back to fresh, the error alert is queued, the
    // wake-up flag drops and the page of an opening URL shows. Any thread.
    void failUpdateCheck();
    // True when the settings can keep the package's key and the reply while the package
    // downloads; a reply they can't keep is no update.
    bool isStorableReply(const RequestProperties& reply) const;

    std::chrono::milliseconds updateCheckDeadline_;
    // Serialises taking nonces and storing new ones.
    std::mutex nonceMutex_;
    // The queue every server call's session hands its reply to: replies are handled one at a
    // time, and calls don't each start a thread.
    std::shared_ptr<platform::Queue> replyQueue_;
};

// The shared content-server client, built by the composition root. Safe from any thread.
ServerCom& sharedServerCom();
