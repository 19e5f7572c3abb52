#include "platform/ShareDialog.h"

#include "platform/Platform.h"
#include "portable/Check.h"
#include "portable/PercentEncoding.h"

namespace platform {

void ShareDialog::present(const std::string& subject, const std::string& text)
{
    requireMainThread();
    presentImpl(subject, text);
}

void presentShareDialog(const std::string& subject, const std::string& text)
{
    if (auto& installed = current().shareDialog)
        installed->present(subject, text);
}

std::string mailtoURL(const std::string& subject, const std::string& body)
{
    std::string url = "mailto:?";
    if (!subject.empty())
        url += "subject=" + percentEncoded(subject, urlKept::unreserved) + "&";
    return url + "body=" + percentEncoded(body, urlKept::unreserved);
}

} // namespace platform
