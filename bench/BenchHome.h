#pragma once
// Benchmarks run in a temporary home of their own (settings, web root, caches), removed again
// at exit, with the built bundle as the main bundle and the shared instances built from it, on
// a thread marked as the main thread. Call before anything reads the configuration; later
// calls do nothing.

#include "app/CompositionRoot.h"
#include "portable/Bundle.h"
#include "portable/Dispatch.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

inline void useTemporaryHome()
{
    static std::string folder;
    static const bool done = [] {
        folder = (std::filesystem::temp_directory_path() / "webcontainer-bench-XXXXXX").string();
        if (!::mkdtemp(folder.data()))
            std::abort();
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(folder, ignored);
        });
        for (const char* name : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"})
            ::setenv(name, folder.c_str(), 1);
        platform::Bundle::setMainForTesting(WEBCONTAINER_BENCH_BUNDLE_DIR);
        platform::setMainThread();
        if (const auto failure = CompositionRoot::build()) {
            std::fprintf(stderr, "%s\n", failure->message.c_str());
            std::abort();
        }
        return true;
    }();
    (void)done;
}
