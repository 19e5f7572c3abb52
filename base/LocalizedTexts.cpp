#include "base/LocalizedTexts.h"

#include "platform/Bundle.h"

std::string localizedString(const std::string& key)
{
    return platform::Bundle::main()->localizedString(key);
}

#define WEBCONTAINER_LOCALIZED_VALUE(name)                                                             \
    const std::string& name()                                                                          \
    {                                                                                                  \
        static const std::string text = localizedString(#name);                                        \
        return text;                                                                                   \
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
    static const std::map<std::string, std::string> titles = {
        {"INFO", localizedString("JS_ALERT_TITLE_INFO")},
        {"SUCCESS", localizedString("JS_ALERT_TITLE_SUCCESS")},
        {"ERROR", localizedString("JS_ALERT_TITLE_ERROR")},
        {"WARN", localizedString("JS_ALERT_TITLE_WARN")},
    };
    return titles;
}

const std::set<std::string>& PRODUCT_IDENTIFIERS()
{
    static const std::set<std::string> identifiers;
    return identifiers;
}
