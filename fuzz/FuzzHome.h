#pragma once
// A home of the fuzz target's own, so that what a target writes (settings, packages) is
// nobody's: a fresh folder, on memory-backed storage where there is some (writes are synced),
// with HOME, the XDG folders and TMPDIR pointing into it; removed when the run ends normally.

#include <cstdlib>
#include <filesystem>
#include <string>

#include <stdlib.h>

inline std::filesystem::path makeFuzzHome()
{
    namespace fs = std::filesystem;
    const fs::path base = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    std::string pattern = (base / "webcontainer-fuzz-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        std::abort();
    static fs::path home;
    home = pattern;
    std::atexit([] {
        std::error_code ignored;
        fs::remove_all(home, ignored);
    });
    for (const char* sub : {"data", "config", "cache", "tmp"})
        fs::create_directories(home / sub);
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
    setenv("XDG_CACHE_HOME", (home / "cache").c_str(), 1);
    setenv("TMPDIR", (home / "tmp").c_str(), 1);
    return home;
}
