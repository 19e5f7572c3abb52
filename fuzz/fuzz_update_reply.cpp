// The content server's update reply on any bytes, read as the update check reads it: it never
// crashes; the update type follows the reply's type text (any other text is "nop"); a package
// key the settings take is kept in the settings file as it came and read back the same by the
// next store, and one they refuse leaves the file as it was.

#include "app/CompositionRoot.h"
#include "base/Config.h"
#include "contentserver/ServerCom.h"
#include "contentserver/fetchAppXmlError.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzHome.h"
#include "portable/Bundle.h"
#include "portable/Dispatch.h"
#include "portable/SettingsStore.h"

#include <pugixml.hpp>

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    makeFuzzHome();
    platform::setMainThread();
    platform::Bundle::setMainForTesting(WEBCONTAINER_FUZZ_BUNDLE_DIR);
    if (CompositionRoot::build())
        std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    RequestProperties reply;
    try {
        reply.populate(sharedServerCom().parseXML(bytes));
    } catch (const fetchAppXmlError&) {
        return 0;
    }
    FUZZ_CHECK(reply.updateType == updateTypeFromRawValue(reply.updateTypeStr).value_or(updateTypeEnum::NOP));

    auto& defaults = sharedConfig().defaults;
    const std::string key = sharedServerCom().ZIPSECRET;
    defaults.set(key, "earlier");
    const bool taken = defaults.set(key, reply.secretKey);
    FUZZ_CHECK(defaults.flush());
    platform::SettingsStore next(defaults.file());
    FUZZ_CHECK(next.string(key) == (taken ? reply.secretKey : std::string("earlier")));
    return 0;
}
