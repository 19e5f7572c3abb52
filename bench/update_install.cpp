// One full encrypted update installed through our code, for bench/update_install.sh: the package
// is downloaded from the loopback server by the URL session's download task (streamed to a
// file), then decrypted, unpacked and swapped in by the package installer on its worker thread,
// as a finished download's package is. Meanwhile a 10 ms timer on the main loop notes the
// longest gap between its runs. Prints the time from the request to the installed web root, the
// process's peak resident memory before the download (idle) and after the install, and the
// longest stall of the main loop:
//   ms <elapsed>
//   idle_kb <VmHWM before>
//   peak_kb <VmHWM after>
//   stall_ms <longest gap between two runs of the 10 ms timer, less the 10 ms>
//
//   update_install <package url> <key>      exit 1 when the package did not install

#include "base/Config.h"
#include "bench/BenchHome.h"
#include "contentserver/ServerCom.h"
#include "platform/linux/CurlUrlSession.h"

#include <glib.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <optional>
#include <algorithm>
#include <string>

namespace fs = std::filesystem;

namespace {

long vmHighWaterKb()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.starts_with("VmHWM:"))
            return std::stol(line.substr(6));
    }
    return -1;
}

// Notes the longest gap between runs of a 10 ms timer on the main loop while it lives.
class StallMeter {
public:
    StallMeter() : last_(std::chrono::steady_clock::now()), source_(g_timeout_add(10, tick, this)) {}
    ~StallMeter() { g_source_remove(source_); }
    double longestStallMs() const { return std::max(0.0, longest_.count() - 10.0); }

private:
    static gboolean tick(gpointer data)
    {
        auto* self = static_cast<StallMeter*>(data);
        const auto now = std::chrono::steady_clock::now();
        self->longest_ = std::max(self->longest_, std::chrono::duration<double, std::milli>(now - self->last_));
        self->last_ = now;
        return G_SOURCE_CONTINUE;
    }

    std::chrono::steady_clock::time_point last_;
    std::chrono::duration<double, std::milli> longest_{0};
    guint source_;
};

// Moves the finished package into the temporary folder, as the download code does.
class PackageDelegate final : public platform::UrlSessionDownloadDelegate {
public:
    void didFinishDownloadingTo(platform::UrlSession&, platform::UrlSessionDownloadTask&,
                                const fs::path& location) override
    {
        std::error_code error;
        fs::rename(location, sharedConfig().tmpDirURL / "package.zip", error);
        moved = !error;
    }
    void didCompleteWithError(platform::UrlSession&, platform::UrlSessionDownloadTask&,
                              const std::optional<platform::UrlError>& error) override
    {
        failed = error.has_value();
        completed = true;
    }
    bool moved = false;
    bool failed = false;
    bool completed = false;
};

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3)
        return 2;
    useTemporaryHome();
    Config& config = sharedConfig();
    // The web root the package replaces.
    fs::create_directories(config.WEBROOT);
    std::ofstream(fs::path(config.WEBROOT) / "index.html") << "<html>old</html>";

    auto delegate = std::make_shared<PackageDelegate>();
    platform::UrlSessionConfiguration configuration;
    configuration.delegateQueue =
        std::shared_ptr<platform::Queue>(std::shared_ptr<platform::Queue>(), &platform::mainQueue());
    configuration.downloadDelegate = delegate;
    auto session = std::make_shared<platform::CurlUrlSession>(std::move(configuration));
    platform::UrlRequest request;
    request.url = argv[1];
    const long idle = vmHighWaterKb();

    std::optional<StallMeter> stalls;
    stalls.emplace();
    const auto started = std::chrono::steady_clock::now();
    session->downloadTask(request);
    if (!platform::runMainLoopUntil([&] { return delegate->completed; }, std::chrono::minutes(2)) || delegate->failed ||
        !delegate->moved)
        return 1;
    std::optional<PackageInstaller::Outcome> outcome;
    sharedServerCom().packageInstaller->install(
        {config.tmpDirURL / "package.zip", DownloadKind::full, argv[2], std::nullopt}, LazyLoadMode::none,
        [&](const PackageInstaller::Outcome& done) { outcome = done; });
    if (!platform::runMainLoopUntil([&] { return outcome.has_value(); }, std::chrono::minutes(2)))
        return 1;
    const auto elapsed = std::chrono::steady_clock::now() - started;
    const double stallMs = stalls->longestStallMs();
    stalls.reset();

    if (outcome->result != PackageInstaller::Outcome::Result::installed ||
        !fs::exists(fs::path(config.WEBROOT) / "info.plist") || fs::exists(sharedServerCom().TMPWWWROOT))
        return 1;
    std::printf("ms %.1f\nidle_kb %ld\npeak_kb %ld\nstall_ms %.1f\n",
                std::chrono::duration<double, std::milli>(elapsed).count(), idle, vmHighWaterKb(), stallMs);
    return 0;
}
