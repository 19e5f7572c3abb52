// Installs a full update package from a process of its own, so tests can kill it at any moment.
//   install_tool <bundle> install <package>   copies the package to "update.zip" in the
//                                             temporary folder, prints "installing" and
//                                             installs it the way a finished download does

#include "app/CompositionRoot.h"
#include "base/Config.h"
#include "contentserver/ServerCom.h"
#include "platform/Bundle.h"
#include "platform/Dispatch.h"

#include <cstdio>
#include <filesystem>
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
    if (command == "install" && argc == 4) {
        const fs::path package = sharedConfig().tmpDirURL / "update.zip";
        std::error_code error;
        fs::copy_file(argv[3], package, fs::copy_options::overwrite_existing, error);
        if (error)
            return 1;
        std::fputs("installing\n", stdout);
        std::fflush(stdout);
        sharedServerCom().unpackUpdate(package, sharedServerCom().TMPWWWROOT);
        return 0;
    }
    return 2;
}
