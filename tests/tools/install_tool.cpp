// Installs an update package from a process of its own, so tests can kill it at any moment.
//   install_tool <bundle> install <package> [full|incremental]
//       copies the package into the temporary folder, prints "installing" and installs it the
//       way a finished download does (a full package when no kind is given); exits 0 once it
//       is installed, 1 when it is not
//   install_tool <bundle> start
//       the next start's launch step on the web root (AppDelegate::copyFile)

#include "app/AppDelegate.h"
#include "app/CompositionRoot.h"
#include "base/Config.h"
#include "contentserver/LazyLoad.h"
#include "contentserver/ServerCom.h"
#include "portable/Bundle.h"
#include "portable/Dispatch.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

namespace fs = std::filesystem;

int main(int argc, char** argv)
{
    if (argc < 3)
        return 2;
    platform::setMainThread();
    platform::Bundle::setMainForTesting(argv[1]);
    if (CompositionRoot::build())
        return 2;
    const std::string command = argv[2];
    if (command == "start" && argc == 3) {
        AppDelegate().copyFile();
        return 0;
    }
    if (command != "install" || argc < 4 || argc > 5)
        return 2;
    const std::string kind = argc == 5 ? argv[4] : "full";
    const fs::path package = sharedConfig().tmpDirURL / "package.zip";
    std::error_code error;
    fs::copy_file(argv[3], package, fs::copy_options::overwrite_existing, error);
    if (error)
        return 1;
    std::fputs("installing\n", stdout);
    std::fflush(stdout);
    std::optional<PackageInstaller::Outcome> outcome;
    sharedServerCom().packageInstaller->install(
        {package, kind == "full" ? DownloadKind::full : DownloadKind::incremental, "", std::nullopt},
        sharedLazyLoad().configuredLazyLoadMode, [&](const PackageInstaller::Outcome& done) { outcome = done; });
    if (!platform::runMainLoopUntil([&] { return outcome.has_value(); }, std::chrono::minutes(5)))
        return 1;
    return outcome->result == PackageInstaller::Outcome::Result::installed ? 0 : 1;
}
