#include "base/LocalizedTexts.h"

#include "base/SharedInstances.h"
#include "portable/Bundle.h"

const std::string& LocalizedTexts::text(const std::string& key)
{
    std::lock_guard lock(mutex_);
    auto found = texts_.find(key);
    if (found == texts_.end())
        found = texts_.emplace(key, localizedString(key)).first;
    return found->second;
}

const std::map<std::string, std::string>& LocalizedTexts::alertTitles()
{
    std::lock_guard lock(mutex_);
    if (!alertTitles_)
        alertTitles_ = std::map<std::string, std::string>{
            {"INFO", localizedString("JS_ALERT_TITLE_INFO")},
            {"SUCCESS", localizedString("JS_ALERT_TITLE_SUCCESS")},
            {"ERROR", localizedString("JS_ALERT_TITLE_ERROR")},
            {"WARN", localizedString("JS_ALERT_TITLE_WARN")},
        };
    return *alertTitles_;
}

std::string localizedString(const std::string& key)
{
    return platform::Bundle::main()->localizedString(key);
}

#define WEBCONTAINER_LOCALIZED_VALUE(name)                                                             \
    const std::string& name()                                                                          \
    {                                                                                                  \
        return SharedInstances::get<LocalizedTexts>().text(#name);                                     \
    }

WEBCONTAINER_LOCALIZED_VALUE(NEW_VERSION_AVAILABLE)
WEBCONTAINER_LOCALIZED_VALUE(Q_DOWNLOAD_NEW_VERSION)
WEBCONTAINER_LOCALIZED_VALUE(DOWNLOAD_SIZE)
WEBCONTAINER_LOCALIZED_VALUE(UP_TO_DATE)
WEBCONTAINER_LOCALIZED_VALUE(ERROR_UPDATE_OFFLINE)
WEBCONTAINER_LOCALIZED_VALUE(UPDATE_TRY_AGAIN_LATER)
WEBCONTAINER_LOCALIZED_VALUE(IAP_DEFERRED_PURCHASE)
WEBCONTAINER_LOCALIZED_VALUE(IAP_RESTORE_PURCHASE)

#undef WEBCONTAINER_LOCALIZED_VALUE

const std::map<std::string, std::string>& JS_ALERT_TITLES()
{
    return SharedInstances::get<LocalizedTexts>().alertTitles();
}

const std::set<std::string>& PRODUCT_IDENTIFIERS()
{
    // A constant: nothing of a run changes it.
    static const std::set<std::string> identifiers;
    return identifiers;
}
