// The settings store on any bytes in its file: opening it never crashes; it takes the file's
// values exactly when the file is a dictionary list (and starts empty otherwise); a value then
// set is written with the others into a file the next store reads back the same, leaving out
// only a value that would not read back as it is.

#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzHome.h"
#include "portable/PlistSerialization.h"
#include "portable/SettingsStore.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

fs::path folder;

// Equal, or both the same NaN-holding value by their text forms (a NaN never equals itself).
bool same(const platform::PlistValue& a, const platform::PlistValue& b)
{
    return a == b || (a.description().find("nan") != std::string::npos && a.description() == b.description());
}

bool readsBack(const std::string& key, const platform::PlistValue& value)
{
    const platform::PlistDict alone{{key, value}};
    const auto back = platform::plistFromBytes(platform::plistToBytes(platform::PlistValue(alone)));
    return back && *back == platform::PlistValue(alone);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    folder = makeFuzzHome() / "settings";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    fs::remove_all(folder);
    fs::create_directories(folder);
    const fs::path file = folder / "store.plist";
    std::ofstream(file, std::ios::binary) << bytes;
    const auto parsed = platform::plistFromBytes(bytes);

    // A text of the input's own, which the store may refuse.
    const std::string text = bytes.substr(0, 8);
    bool taken = false;
    platform::PlistDict written;
    {
        platform::SettingsStore store(file);
        const auto held = store.dictionaryRepresentation();
        if (parsed && parsed->isDict())
            FUZZ_CHECK(same(platform::PlistValue(held), *parsed));
        else
            FUZZ_CHECK(held.empty());
        taken = store.set("fuzz.text", text);
        FUZZ_CHECK(store.set("fuzz.plain", "text"));
        FUZZ_CHECK(store.flush());
        written = store.dictionaryRepresentation();
    }
    platform::SettingsStore reread(file);
    const auto back = reread.dictionaryRepresentation();
    for (const auto& [key, value] : written) {
        const auto found = back.find(key);
        if (found == back.end())
            FUZZ_CHECK(!readsBack(key, value));
        else
            FUZZ_CHECK(same(found->second, value));
    }
    FUZZ_CHECK(back.size() <= written.size());
    FUZZ_CHECK(reread.string("fuzz.plain") == "text");
    if (taken)
        FUZZ_CHECK(reread.string("fuzz.text") == text);
    return 0;
}
