// One full encrypted update installed through our code, for bench/update_install.sh: the package
// is downloaded from the loopback server by the URL session's download task (streamed to a
// file), decrypted by ServerCom::decryptPackage, unpacked and swapped in by
// ServerCom::unpackUpdate. Prints the time from the request to the installed web root and the
// process's peak resident memory before the download (idle) and after the install:
//   ms <elapsed>
//   idle_kb <VmHWM before>
//   peak_kb <VmHWM after>
//
//   update_install <package url> <key>      exit 1 when the package did not install

#include "base/Config.h"
#include "bench/BenchHome.h"
#include "contentserver/ServerCom.h"
#include "platform/linux/CurlUrlSession.h"

#include <chrono>
#include <cstdio>
#include <fstream>
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

// Moves the finished package to "update.zip" in the temporary folder, as the download code does.
class PackageDelegate final : public platform::UrlSessionDownloadDelegate {
public:
    void didFinishDownloadingTo(platform::UrlSession&, platform::UrlSessionDownloadTask&,
                                const fs::path& location) override
    {
        std::error_code error;
        fs::rename(location, sharedConfig().tmpDirURL / "update.zip", error);
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

    const auto started = std::chrono::steady_clock::now();
    session->downloadTask(request);
    if (!platform::runMainLoopUntil([&] { return delegate->completed; }, std::chrono::minutes(2)) || delegate->failed ||
        !delegate->moved)
        return 1;
    config.defaults.set(sharedServerCom().ZIPSECRET, std::string(argv[2]));
    if (sharedServerCom().decryptPackage(config.tmpDirURL) != ServerCom::PackageDecryption::decrypted)
        return 1;
    sharedServerCom().unpackUpdate(config.tmpDirURL / "update_dec.zip", sharedServerCom().TMPWWWROOT);
    const auto elapsed = std::chrono::steady_clock::now() - started;

    if (!fs::exists(fs::path(config.WEBROOT) / "info.plist") || fs::exists(sharedServerCom().TMPWWWROOT))
        return 1;
    std::printf("ms %.1f\nidle_kb %ld\npeak_kb %ld\n",
                std::chrono::duration<double, std::milli>(elapsed).count(), idle, vmHighWaterKb());
    return 0;
}
