// Process entry: builds the shared instances, installs the Linux platform and runs the
// application with its delegate until the window closes. A URL on the command line opens the
// application by that URL (and reaches the instance that already runs, when there is one).
//
// A bundle without a readable "DefaultPreferences.plist" cannot start: main() says so on
// standard error (logging is silent by default) and exits with status 1.
#include "app/AppDelegate.h"
#include "app/CompositionRoot.h"
#include "platform/Application.h"
#include "platform/Platform.h"
#include "portable/Dispatch.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    platform::setMainThread();
    if (const auto failure = CompositionRoot::build()) {
        std::fprintf(stderr, "webcontainer: %s\n", failure->message.c_str());
        return EXIT_FAILURE;
    }
    platform::install(platform::makeLinuxPlatform());
    static AppDelegate* delegate = new AppDelegate();
    const int status = platform::current().application->run(argc, argv, *delegate);
    // A reply still under way would be handled while exit() destroys what it reads.
    CompositionRoot::endBackgroundWork();
    return status;
}
