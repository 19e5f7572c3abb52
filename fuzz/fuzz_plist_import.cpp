// The import of a package's property list into the settings, on any bytes a package may hold:
// it never crashes, it takes the file exactly when it is a dictionary list, every text entry the
// settings file can hold is then a stored setting of the same value, and every list the parser
// accepts is written back (XML and binary) into a list that reads back the same. Bytes the depth
// scan lets through never make the property-list library build a tree deeper than the bound.

#include "app/CompositionRoot.h"
#include "base/Config.h"
#include "base/SettingsImport.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzHome.h"
#include "portable/Bundle.h"
#include "portable/Dispatch.h"
#include "portable/PlistSerialization.h"
#include "portable/SettingsStore.h"

#include <plist/plist.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

fs::path importFile;

// Levels of the tree the library built (the root is the first). Recursive: the fuzzer's inputs
// are too short to nest deep enough to matter.
std::size_t levels(plist_t node)
{
    std::size_t below = 0;
    if (plist_get_node_type(node) == PLIST_ARRAY) {
        for (std::uint32_t i = 0; i < plist_array_get_size(node); ++i)
            below = std::max(below, levels(plist_array_get_item(node, i)));
    } else if (plist_get_node_type(node) == PLIST_DICT) {
        plist_dict_iter iter = nullptr;
        plist_dict_new_iter(node, &iter);
        for (;;) {
            // No key asked for: reading a key that holds a NUL aborts inside the library.
            plist_t item = nullptr;
            plist_dict_next_item(node, iter, nullptr, &item);
            if (!item)
                break;
            below = std::max(below, levels(item));
        }
        std::free(iter);
    }
    return below + 1;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    const fs::path home = makeFuzzHome();
    platform::setMainThread();
    platform::Bundle::setMainForTesting(WEBCONTAINER_FUZZ_BUNDLE_DIR);
    if (CompositionRoot::build())
        std::abort();
    importFile = home / "info.plist";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    if (platform::plistWithinBounds(bytes)) {
        plist_t tree = nullptr;
        plist_from_memory(bytes.data(), static_cast<std::uint32_t>(bytes.size()), &tree);
        if (tree)
            FUZZ_CHECK(levels(tree) <= platform::kPlistMaxDepth);
        plist_free(tree);
    }
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

    // Each input starts from no stored settings.
    sharedConfig().defaults.removeAll();
    std::ofstream(importFile, std::ios::binary | std::ios::trunc) << bytes;
    const bool imported = readPListToDefaultPref(importFile);
    FUZZ_CHECK(imported == (parsed && parsed->isDict()));
    if (!imported)
        return 0;
    auto& defaults = sharedConfig().defaults;
    for (const auto& [key, value] : *parsed->asDict())
        if (value.isString() && platform::SettingsStore::canStore(key, value))
            FUZZ_CHECK(defaults.string(key) == *value.asString());
    return 0;
}
