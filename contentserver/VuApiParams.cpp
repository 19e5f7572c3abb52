#include "contentserver/VuApiParams.h"

namespace {

void appendPair(std::string& query, const std::string& name, const std::string& value)
{
    query += "&" + name + "=" + value;
}

void appendUnlessEmpty(std::string& query, const std::string& name, const std::string& value)
{
    if (!value.empty())
        appendPair(query, name, value);
}

} // namespace

std::string VuApiParams::queryString(bool skipPath) const
{
    std::string query;
    if (!skipPath)
        query = xmlPath + "?app=" + app;
    else
        appendUnlessEmpty(query, "app", app);
    appendPair(query, "lsync", lsync);
    appendPair(query, "lfsync", lfsync);
    appendUnlessEmpty(query, "os_version", os_version);
    appendUnlessEmpty(query, "uuid", uuid);
    appendUnlessEmpty(query, "lang", lang);
    appendUnlessEmpty(query, "app_version", app_version);
    appendUnlessEmpty(query, "token", regToken);
    appendUnlessEmpty(query, PARAM_NONCE, nonce);
    appendUnlessEmpty(query, PARAM_OTP, otp);
    appendUnlessEmpty(query, PARAM_SYNC_MODE, sync_mode);
    appendUnlessEmpty(query, PARAM_LAZYLOAD, lazyloadMode);
    return query;
}
