// Reads and writes the standard settings store from a process of its own, so tests can show
// that values survive a restart.
//   settings_tool <bundle> set <key> <text>   stores and writes the file at once
//   settings_tool <bundle> get <key>          prints the text, exit 1 when absent
//   settings_tool <bundle> set-unsynced <key> <text>   stores and exits without synchronizing

#include "app/CompositionRoot.h"
#include "base/Config.h"
#include "portable/Bundle.h"
#include "portable/Dispatch.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    if (argc < 4)
        return 2;
    platform::setMainThread();
    platform::Bundle::setMainForTesting(argv[1]);
    if (CompositionRoot::build())
        return 2;
    Config& config = sharedConfig();
    const std::string command = argv[2];
    const std::string key = argv[3];
    if ((command == "set" || command == "set-unsynced") && argc == 5) {
        config.defaults.set(key, std::string(argv[4]));
        if (command == "set" && !config.defaults.flush())
            return 1;
        return 0;
    }
    if (command == "get") {
        auto value = config.defaults.string(key);
        if (!value)
            return 1;
        std::printf("%s", value->c_str());
        return 0;
    }
    return 2;
}
