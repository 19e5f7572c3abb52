#include "platform/ShareDialog.h"

#include "platform/Check.h"
#include "platform/Platform.h"

namespace platform {
namespace {

// Unreserved bytes of RFC 3986, spelled out: the C classification functions follow the locale.
bool isUnreserved(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.'
           || c == '_' || c == '~';
}

std::string percentEncoded(const std::string& text)
{
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (isUnreserved(c)) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 0xF];
        }
    }
    return out;
}

} // namespace

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
        url += "subject=" + percentEncoded(subject) + "&";
    return url + "body=" + percentEncoded(body);
}

} // namespace platform
