#pragma once
// Lazy loading of the files an update package left out.
//
// The manifest clean-up stores the files the web root lacks as the settings list
// "LazyLoadList" (paths relative to the web root, percent-encoded as in file URLs). A run
// fetches them one at a time from the end of the list towards its beginning, each as a "lazy-"
// download of ServerCom whose store key is the query "?action=file&name=<entry>&file=<entry>"
// (the entry as listed, not encoded again). The end of each download removes its entry from the
// stored list and asks for the next file: the stored list is the one lasting state, re-read
// before every fetch. The page hears showLazyLoadNotification(done, total) per file and
// hideAllLoading when the list is empty; without a web view both wait on Config's script stack.
// The page may suspend the run until a time (lazyLoadSuspendUntil) and resume it.
//
// The deployment's lazy-load mode is read once, from the setting "lazyload", when this object is
// made; requests report it to the content server.
//
// Threads: the mode and remove() are safe from any thread; everything else is main thread only
// (the router, the update flow and the download delegate all run there). The page signals go to
// the main queue and run after the caller returns.

#include "contentserver/LazyLoadMode.h"
#include "platform/Clock.h"
#include "platform/WebView.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class LazyLoad {
public:
    // The mode type lives in base/ so that the manifest clean-up can take it.
    using lazyLoadMode = LazyLoadMode;

    // Reads the mode: "all" and "nonhtml" exactly; any other value, or none, is none.
    LazyLoad();
    LazyLoad(const LazyLoad&) = delete;
    LazyLoad& operator=(const LazyLoad&) = delete;

    const std::string lazyLoadStoreKey = "lazyload";
    // While set and not yet passed, lazyLoadNext() fetches nothing. Main thread only.
    std::optional<platform::TimePoint> lazyLoadSuspendUntil;
    // The stored list as last read, and its length when the run started. Main thread only.
    std::optional<std::vector<std::string>> lazyLoadFiles = std::vector<std::string>{};
    std::int64_t lazyLoadTotal = 0;
    const lazyLoadMode configuredLazyLoadMode;

    // Starts a run over the stored list (it does not lift a suspension). `webView`: the page to
    // tell; none queues the signals.
    void startLazyLoad(const std::weak_ptr<platform::WebView>& webView);
    // Fetches the last file of the stored list, or ends the run when there is none.
    void lazyLoadNext(const std::weak_ptr<platform::WebView>& webView);
    // Removes every entry of the stored list that names `fileFromList`, entries and name
    // compared percent-decoded. Any thread.
    void remove(const std::string& fileFromList);

private:
    // The stored list; nothing when it is missing or not a list of text.
    std::optional<std::vector<std::string>> storedList() const;
    void sendProgressNotice(const std::weak_ptr<platform::WebView>& webView);
};

// The shared lazy loader, built by the composition root. Safe from any thread.
LazyLoad& sharedLazyLoad();
