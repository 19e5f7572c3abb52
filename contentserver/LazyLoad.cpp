#include "contentserver/LazyLoad.h"

#include "base/Config.h"
#include "base/SharedInstances.h"

namespace {

LazyLoad::lazyLoadMode configuredMode(const std::string& key)
{
    const auto value = sharedConfig().defaults.string(key);
    if (value == "all")
        return LazyLoad::lazyLoadMode::all;
    if (value == "nonhtml")
        return LazyLoad::lazyLoadMode::nonhtml;
    return LazyLoad::lazyLoadMode::none;
}

} // namespace

LazyLoad::LazyLoad() : configuredLazyLoadMode(configuredMode(lazyLoadStoreKey)) {}

LazyLoad& sharedLazyLoad()
{
    return SharedInstances::get<LazyLoad>();
}
