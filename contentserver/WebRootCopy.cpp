#include "contentserver/WebRootCopy.h"

#include "logger/Logger.h"

namespace fs = std::filesystem;

std::error_code copyWebRoot(const fs::path& webRoot, const fs::path& copy)
{
    constexpr auto each = fs::copy_options::recursive | fs::copy_options::copy_symlinks;
    std::error_code error;
    fs::copy(webRoot, copy, each | fs::copy_options::create_hard_links, error);
    if (!error)
        return {};
    LOG_INFO("the web root can't be linked (" + error.message() + "), it is copied");
    error.clear();
    fs::remove_all(copy, error);
    if (!error)
        fs::copy(webRoot, copy, each, error);
    return error;
}
