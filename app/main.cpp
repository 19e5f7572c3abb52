// Process entry: marks the main thread and builds the configuration.
#include "app/Config.h"
#include "app/Logger.h"
#include "platform/Dispatch.h"

#include <cstdio>

int main(int argc, char** argv)
{
    platform::setMainThread();
    Config& config = sharedConfig();
    LOG_INFO("web root " + config.WEBROOT);
    config.defaults.synchronize();
    std::printf("webcontainer: configuration ready; settings in %s\n", config.defaults.file().c_str());
    return 0;
}
