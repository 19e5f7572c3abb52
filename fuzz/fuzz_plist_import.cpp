// The import of a package's property list into the settings, on any bytes a package may hold:
// it never crashes, it takes the file exactly when it is a dictionary list, every text entry is
// then a stored setting of the same value, and every list the parser accepts is written back
// (XML and binary) into a list that reads back the same.

#include "base/Config.h"
#include "base/SettingsImport.h"
#include "fuzz/FuzzCheck.h"
#include "platform/Bundle.h"
#include "platform/PlistSerialization.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

fs::path importFile;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // A home of its own, so the settings written are nobody's.
    std::string pattern = (fs::temp_directory_path() / "webcontainer-fuzz-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        std::abort();
    const fs::path home = pattern;
    for (const char* sub : {"data", "config", "cache", "tmp"})
        fs::create_directories(home / sub);
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
    setenv("XDG_CACHE_HOME", (home / "cache").c_str(), 1);
    setenv("TMPDIR", (home / "tmp").c_str(), 1);
    platform::Bundle::setMainForTesting(WEBCONTAINER_FUZZ_BUNDLE_DIR);
    importFile = home / "info.plist";
    sharedConfig();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const auto parsed = platform::plistFromBytes(bytes);
    if (parsed) {
        for (const auto format : {platform::PlistFormat::Xml, platform::PlistFormat::Binary}) {
            const auto reread = platform::plistFromBytes(platform::plistToBytes(*parsed, format));
            // A real that is NaN is never equal to itself; its text form tells whether it came back.
            const bool same = reread
                && (*reread == *parsed
                    || (parsed->description().find("nan") != std::string::npos
                        && reread->description() == parsed->description()));
            if (!same)
                std::fprintf(stderr, "read: %s\nwritten and read again: %s\n", parsed->description().c_str(),
                             reread ? reread->description().c_str() : "nothing");
            FUZZ_CHECK(same);
        }
    }

    std::ofstream(importFile, std::ios::binary | std::ios::trunc) << bytes;
    const bool imported = readPListToDefaultPref(importFile);
    FUZZ_CHECK(imported == (parsed && parsed->isDict()));
    if (!imported)
        return 0;
    auto& defaults = sharedConfig().defaults;
    for (const auto& [key, value] : *parsed->asDict())
        if (value.isString())
            FUZZ_CHECK(defaults.string(key) == *value.asString());
    return 0;
}
