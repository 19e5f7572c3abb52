// Process entry: installs the Linux platform and runs the application with its delegate until
// the window closes. A URL on the command line opens the application by that URL (and reaches
// the instance that already runs, when there is one).
#include "app/AppDelegate.h"
#include "platform/Application.h"
#include "platform/Dispatch.h"
#include "platform/Platform.h"

int main(int argc, char** argv)
{
    platform::setMainThread();
    platform::install(platform::makeLinuxPlatform());
    static AppDelegate* delegate = new AppDelegate();
    return platform::current().application->run(argc, argv, *delegate);
}
