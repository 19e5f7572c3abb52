#include "base/WebRootSwap.h"

#include "logger/Logger.h"
#include "portable/FileManager.h"

#include <mutex>
#include <utility>

namespace fs = std::filesystem;

namespace {

std::mutex injectedMutex;
std::error_code injectedFailure;

// The failure a test asked for, once.
std::error_code takeInjectedFailure()
{
    std::lock_guard lock(injectedMutex);
    return std::exchange(injectedFailure, {});
}

} // namespace

void WebRootSwap::failNextReplaceForTesting(std::error_code error)
{
    std::lock_guard lock(injectedMutex);
    injectedFailure = error;
}

WebRootSwap::WebRootSwap(fs::path webRoot) : webRoot_(std::move(webRoot)) {}

fs::path WebRootSwap::asidePath() const
{
    return webRoot_.string() + "-old";
}

std::error_code WebRootSwap::replaceWith(const fs::path& fresh) const
{
    auto& fm = platform::FileManager::defaultManager();
    const fs::path aside = asidePath();
    // What an earlier swap left aside is either the only web root there is or garbage.
    recover();
    if (fm.fileExists(aside))
        return std::make_error_code(std::errc::file_exists);
    const bool hadWebRoot = fm.fileExists(webRoot_);
    if (hadWebRoot) {
        if (auto error = fm.moveItem(webRoot_, aside))
            return error;
    }
    auto error = takeInjectedFailure();
    if (!error)
        error = fm.moveItem(fresh, webRoot_);
    if (error) {
        if (hadWebRoot) {
            if (auto back = fm.moveItem(aside, webRoot_))
                LOG_ERROR("cannot put the old web root back from " + aside.string() + ": " + back.message());
        }
        return error;
    }
    if (hadWebRoot) {
        if (auto error = fm.removeItem(aside))
            LOG_ERROR("cannot delete the old web root " + aside.string() + ": " + error.message());
    }
    return {};
}

void WebRootSwap::recover() const
{
    auto& fm = platform::FileManager::defaultManager();
    const fs::path aside = asidePath();
    if (!fm.fileExists(aside))
        return;
    if (!fm.fileExists(webRoot_)) {
        LOG_INFO("restoring the web root an interrupted update had set aside");
        if (auto error = fm.moveItem(aside, webRoot_))
            LOG_ERROR("cannot restore the web root from " + aside.string() + ": " + error.message());
        return;
    }
    LOG_INFO("deleting the old web root an interrupted update left aside");
    if (auto error = fm.removeItem(aside))
        LOG_ERROR("cannot delete the old web root " + aside.string() + ": " + error.message());
}
