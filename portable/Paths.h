#pragma once
// The folders of the user's session, following the XDG base-directory variables so that every
// test can run in a home of its own. Safe from any thread; the environment is read on each call.

#include <filesystem>
#include <string>

namespace platform::paths {

std::filesystem::path home();
std::filesystem::path dataHome();    // $XDG_DATA_HOME or ~/.local/share
std::filesystem::path configHome();  // $XDG_CONFIG_HOME or ~/.config
std::filesystem::path cacheHome();   // $XDG_CACHE_HOME or ~/.cache

// The application-support folder: the data home's folder named after the bundle identifier.
std::filesystem::path applicationSupport(const std::string& bundleIdentifier);
// The folder that holds the running executable.
std::filesystem::path executableDirectory();

} // namespace platform::paths
