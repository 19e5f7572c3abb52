#pragma once
// Lazy loading of the files an update package left out. This object holds the deployment's
// lazy-load mode, read once when it is created from the setting "lazyload"; requests report it
// to the content server. Safe from any thread: the mode never changes after creation.

#include "base/LazyLoadMode.h"

#include <string>

class LazyLoad {
public:
    // The mode type lives in base/ so that the manifest clean-up can take it.
    using lazyLoadMode = LazyLoadMode;

    // Reads the mode: "all" and "nonhtml" exactly; any other value, or none, is none.
    LazyLoad();
    LazyLoad(const LazyLoad&) = delete;
    LazyLoad& operator=(const LazyLoad&) = delete;

    const std::string lazyLoadStoreKey = "lazyload";
    const lazyLoadMode configuredLazyLoadMode;
};

// The shared lazy loader, built by the composition root. Safe from any thread.
LazyLoad& sharedLazyLoad();
